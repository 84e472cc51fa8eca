#include "pack/format/authenticode_hash.h"

#include <algorithm>

std::optional<HashAlgorithm> ComputableDigest(const std::string& name) {
  if (name == "sha1") return HashAlgorithm::kSha1;
  if (name == "sha256") return HashAlgorithm::kSha256;
  if (name == "sha384") return HashAlgorithm::kSha384;
  if (name == "sha512") return HashAlgorithm::kSha512;
  return std::nullopt;
}

AuthenticodeHash::AuthenticodeHash(HashAlgorithm algorithm, uint64_t checksumFieldOffset,
                                   uint64_t certificateEntryOffset, uint64_t hashedEnd)
    : skips_{{checksumFieldOffset, checksumFieldOffset + 4},
             {certificateEntryOffset, certificateEntryOffset + 8}},
      end_(hashedEnd),
      hash_(algorithm) {
  if (skips_[1][0] < skips_[0][0]) std::swap(skips_[0], skips_[1]);
}

void AuthenticodeHash::Add(const uint8_t* bytes, size_t count) {
  const uint64_t start = at_;
  at_ += count;
  const uint64_t stop = std::min(at_, end_);
  uint64_t pos = start;
  for (const uint64_t* skip : skips_) {
    if (pos >= stop) return;
    if (skip[1] <= pos) continue;
    const uint64_t until = std::min(stop, skip[0]);
    if (until > pos) Take(bytes + (pos - start), until - pos);
    pos = std::max(pos, std::min(stop, skip[1]));
  }
  if (pos < stop) Take(bytes + (pos - start), stop - pos);
}

void AuthenticodeHash::Take(const uint8_t* bytes, uint64_t count) {
  hash_.Add(bytes, static_cast<size_t>(count));
}

std::vector<uint8_t> AuthenticodeHash::Finish() { return hash_.Finish(); }

std::vector<uint8_t> AuthenticodeDigestOfFile(InputFile& file, const PeImage& image,
                                              uint64_t hashedEnd, HashAlgorithm algorithm) {
  AuthenticodeHash hash(algorithm, image.checksumOffset, image.certificateEntryOffset, hashedEnd);
  const uint64_t end = std::min<uint64_t>(hashedEnd, file.Size());
  std::vector<uint8_t> piece(1 << 20);
  for (uint64_t at = 0; at < end;) {
    size_t part = static_cast<size_t>(std::min<uint64_t>(piece.size(), end - at));
    file.ReadAt(at, piece.data(), part);
    hash.Add(piece.data(), part);
    at += part;
  }
  return hash.Finish();
}

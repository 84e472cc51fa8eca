#include "pack/format/authenticode_hash.h"

#include <algorithm>

std::optional<DigestAlgorithm> ComputableDigest(const std::string& name) {
  if (name == "sha1") return DigestAlgorithm::kSha1;
  if (name == "sha256") return DigestAlgorithm::kSha256;
  return std::nullopt;
}

AuthenticodeHash::AuthenticodeHash(DigestAlgorithm algorithm, uint64_t checksumFieldOffset,
                                   uint64_t certificateEntryOffset, uint64_t hashedEnd)
    : algorithm_(algorithm),
      skips_{{checksumFieldOffset, checksumFieldOffset + 4},
             {certificateEntryOffset, certificateEntryOffset + 8}},
      end_(hashedEnd) {
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
    if (until > pos) Hash(bytes + (pos - start), until - pos);
    pos = std::max(pos, std::min(stop, skip[1]));
  }
  if (pos < stop) Hash(bytes + (pos - start), stop - pos);
}

void AuthenticodeHash::Hash(const uint8_t* bytes, uint64_t count) {
  if (algorithm_ == DigestAlgorithm::kSha1)
    sha1_.Add(bytes, static_cast<size_t>(count));
  else
    sha256_.Add(bytes, static_cast<size_t>(count));
}

std::vector<uint8_t> AuthenticodeHash::Finish() {
  if (algorithm_ == DigestAlgorithm::kSha1) {
    std::array<uint8_t, 20> digest = sha1_.Finish();
    return {digest.begin(), digest.end()};
  }
  std::array<uint8_t, 32> digest = sha256_.Finish();
  return {digest.begin(), digest.end()};
}

std::vector<uint8_t> AuthenticodeDigestOfFile(InputFile& file, const PeImage& image,
                                              uint64_t hashedEnd, DigestAlgorithm algorithm) {
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

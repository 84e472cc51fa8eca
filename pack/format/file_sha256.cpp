#include "pack/format/file_sha256.h"

#include <algorithm>
#include <vector>

#include "pack/format/crypto.h"

std::string Sha256OfFile(InputFile& file) {
  Hash digest(HashAlgorithm::kSha256);
  std::vector<uint8_t> piece(1 << 20);
  for (uint64_t at = 0; at < file.Size();) {
    size_t part = static_cast<size_t>(std::min<uint64_t>(piece.size(), file.Size() - at));
    file.ReadAt(at, piece.data(), part);
    digest.Add(piece.data(), part);
    at += part;
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t b : digest.Finish()) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 15]);
  }
  return hex;
}

#include "pack/format/crypto.h"

const char* HashName(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::kSha1:
      return "sha1";
    case HashAlgorithm::kSha384:
      return "sha384";
    case HashAlgorithm::kSha512:
      return "sha512";
    case HashAlgorithm::kSha256:
      break;
  }
  return "sha256";
}

std::vector<uint8_t> HashOf(HashAlgorithm algorithm, const uint8_t* bytes, size_t count) {
  Hash hash(algorithm);
  hash.Add(bytes, count);
  return hash.Finish();
}

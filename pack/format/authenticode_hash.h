// The Authenticode image digest of a PE file, as signtool and osslsigncode compute it and a
// signature's SpcIndirectDataContent holds it: the file from its first byte up to the certificate
// table, leaving out the 4-byte CheckSum field and the 8-byte certificate-table entry of the data
// directories, both of which signing changes. The table itself is left out as well, so nothing in
// it is covered.
//
// The hash runs over the file as it streams by, like the image checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/format/pe_image.h"
#include "pack/format/sha1.h"
#include "pack/format/sha256.h"
#include "pack/io/input_file.h"

enum class DigestAlgorithm { kSha1, kSha256 };

// The algorithm an AuthenticodeSignature names ("sha1", "sha256"); nothing for one the tool does
// not compute.
std::optional<DigestAlgorithm> ComputableDigest(const std::string& name);

class AuthenticodeHash {
 public:
  // `hashedEnd`: where the certificate table starts (the file's length for an unsigned file).
  AuthenticodeHash(DigestAlgorithm algorithm, uint64_t checksumFieldOffset,
                   uint64_t certificateEntryOffset, uint64_t hashedEnd);

  // The next `count` bytes of the file, in file order from its first byte.
  void Add(const uint8_t* bytes, size_t count);
  std::vector<uint8_t> Finish();  // once

 private:
  void Hash(const uint8_t* bytes, uint64_t count);

  DigestAlgorithm algorithm_;
  uint64_t skips_[2][2];  // [from, to) of the two fields, in file order
  uint64_t end_;
  uint64_t at_ = 0;
  Sha1 sha1_;
  Sha256 sha256_;
};

// The digest of the whole file, read from start to end in large pieces.
std::vector<uint8_t> AuthenticodeDigestOfFile(InputFile& file, const PeImage& image,
                                              uint64_t hashedEnd, DigestAlgorithm algorithm);

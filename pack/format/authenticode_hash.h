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

#include "pack/format/crypto.h"
#include "pack/format/pe_image.h"
#include "pack/io/input_file.h"

// The algorithm an AuthenticodeSignature names ("sha1", "sha256", "sha384", "sha512"); nothing
// for one the tool does not compute (MD5, or an OID it does not know).
std::optional<HashAlgorithm> ComputableDigest(const std::string& name);

class AuthenticodeHash {
 public:
  // `hashedEnd`: where the certificate table starts (the file's length for an unsigned file).
  AuthenticodeHash(HashAlgorithm algorithm, uint64_t checksumFieldOffset,
                   uint64_t certificateEntryOffset, uint64_t hashedEnd);

  // The next `count` bytes of the file, in file order from its first byte.
  void Add(const uint8_t* bytes, size_t count);
  std::vector<uint8_t> Finish();  // once

 private:
  void Take(const uint8_t* bytes, uint64_t count);

  uint64_t skips_[2][2];  // [from, to) of the two fields, in file order
  uint64_t end_;
  uint64_t at_ = 0;
  ::Hash hash_;
};

// The digest of the whole file, read from start to end in large pieces.
std::vector<uint8_t> AuthenticodeDigestOfFile(InputFile& file, const PeImage& image,
                                              uint64_t hashedEnd, HashAlgorithm algorithm);

// The default folder name: a GUID in braces derived from the payload, so the same inputs give the
// same launcher file byte for byte, and a different installer or package gives a different folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A fast 64-bit digest of an embedded file's bytes, taken while they are copied.
class ContentDigest {
 public:
  void Add(const uint8_t* bytes, size_t count);
  uint64_t Value() const;

 private:
  void Stripe(const uint8_t* stripe);

  uint64_t lanes_[4] = {0x60EA27EEADC0B5D6ull, 0xC2B2AE3D27D4EB4Full, 0x0ull,
                        0x61C8864E7A143579ull};
  uint8_t buffer_[32] = {};
  size_t buffered_ = 0;
  uint64_t length_ = 0;
};

// Everything the folder is derived from.
struct PayloadIdentity {
  std::u16string title;
  std::u16string installerName;
  std::u16string packageName;
  uint64_t installerTime = 0;
  uint64_t packageTime = 0;
  uint64_t installerSize = 0;
  uint64_t packageSize = 0;
  uint64_t installerDigest = 0;
  uint64_t packageDigest = 0;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38 characters, upper-case hex: a name-based GUID
// (version 5, SHA-1) in a namespace of the pack tool's own.
std::u16string DefaultFolderName(const PayloadIdentity& identity);

constexpr size_t kFolderGuidLength = 38;

// SHA-1, for the name-based GUID of the default folder (RFC 4122, version 5). Not used for
// anything that needs to resist an attacker.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "pack/format/hash_blocks.h"

class Sha1 : public HashBlocks<Sha1> {
 public:
  std::array<uint8_t, 20> Finish();  // once

 private:
  friend class HashBlocks<Sha1>;
  void Block(const uint8_t* block);

  uint32_t state_[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
};

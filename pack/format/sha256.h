// SHA-256 (FIPS 180-4): the digest package managers publish for a launcher file and the one
// Authenticode signatures name most often.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "pack/format/hash_blocks.h"

class Sha256 : public HashBlocks<Sha256> {
 public:
  std::array<uint8_t, 32> Finish();  // once

 private:
  friend class HashBlocks<Sha256>;
  void Block(const uint8_t* block);

  uint32_t state_[8] = {0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A,
                        0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19};
};

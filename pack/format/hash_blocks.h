// What SHA-1 and SHA-256 share: 64-byte blocks of big-endian 32-bit words, filled as bytes come,
// and the closing pad of 0x80, zeros and the message's length in bits.
#pragma once

#include <cstddef>
#include <cstdint>

template <class Hash>
class HashBlocks {
 public:
  void Add(const uint8_t* bytes, size_t count) {
    length_ += count;
    while (count) {
      size_t take = 64 - buffered_ < count ? 64 - buffered_ : count;
      for (size_t i = 0; i < take; ++i) buffer_[buffered_ + i] = bytes[i];
      buffered_ += take;
      bytes += take;
      count -= take;
      if (buffered_ == 64) {
        static_cast<Hash*>(this)->Block(buffer_);
        buffered_ = 0;
      }
    }
  }

 protected:
  static uint32_t Word(const uint8_t* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
  }

  // Pads the message and writes the first `count` words of `state` big-endian into `digest`.
  void Close(const uint32_t* state, int count, uint8_t* digest) {
    uint64_t bits = length_ * 8;
    const uint8_t one = 0x80, zero = 0;
    Add(&one, 1);
    while (buffered_ != 56) Add(&zero, 1);
    uint8_t tail[8];
    for (int i = 0; i < 8; ++i) tail[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Add(tail, 8);
    for (int i = 0; i < 4 * count; ++i)
      digest[i] = static_cast<uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
  }

 private:
  uint8_t buffer_[64] = {};
  size_t buffered_ = 0;
  uint64_t length_ = 0;
};

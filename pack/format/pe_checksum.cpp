#include "pack/format/pe_checksum.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kChecksumFieldSize = 4;

uint64_t Fold(uint64_t sum) {
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return sum;
}

// Sums the 16-bit words of `count` bytes (a multiple of 8) eight bytes at a time: each 64-bit load
// holds four words, added as two pairs into 32-bit lanes that are emptied before they can overflow.
uint64_t SumWordsWide(const uint8_t* bytes, size_t count) {
  constexpr uint64_t kLowWords = 0x0000FFFF0000FFFFull;
  constexpr size_t kLoadsPerBlock = 16384;  // 0x1FFFE per load: stays below 2^32 per lane
  uint64_t total = 0;
  size_t loads = count / 8;
  while (loads) {
    size_t block = std::min(loads, kLoadsPerBlock);
    uint64_t lanes = 0;
    for (size_t i = 0; i < block; ++i) {
      uint64_t value;
      std::memcpy(&value, bytes + 8 * i, 8);
      lanes += (value & kLowWords) + ((value >> 16) & kLowWords);
    }
    total += (lanes & 0xFFFFFFFF) + (lanes >> 32);
    bytes += 8 * block;
    loads -= block;
  }
  return total;
}

bool LittleEndianHost() {
  const uint16_t probe = 1;
  uint8_t first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

}  // namespace

void PeChecksum::AddByte(uint8_t byte) {
  if (pendingLow_ < 0) {
    pendingLow_ = byte;
  } else {
    sum_ += static_cast<uint64_t>(pendingLow_) | uint64_t{byte} << 8;
    pendingLow_ = -1;
  }
  ++length_;
}

void PeChecksum::AddWords(const uint8_t* bytes, size_t count) {
  size_t wide = LittleEndianHost() ? count / 8 * 8 : 0;
  sum_ += SumWordsWide(bytes, wide);
  for (size_t i = wide; i < count; i += 2) sum_ += bytes[i] | bytes[i + 1] << 8;
  length_ += count;
  if (sum_ >> 60) sum_ = Fold(sum_);
}

void PeChecksum::Add(const uint8_t* bytes, size_t count) {
  while (count) {
    // Bytes of the CheckSum field count as zero.
    if (length_ >= field_ && length_ < field_ + kChecksumFieldSize) {
      AddByte(0);
      ++bytes;
      --count;
      continue;
    }
    if (pendingLow_ >= 0) {
      AddByte(*bytes++);
      --count;
      continue;
    }
    size_t run = count;
    if (length_ < field_) run = static_cast<size_t>(std::min<uint64_t>(run, field_ - length_));
    run &= ~size_t{1};
    if (run == 0) {
      AddByte(*bytes++);
      --count;
      continue;
    }
    AddWords(bytes, run);
    bytes += run;
    count -= run;
  }
}

void PeChecksum::AddZeros(uint64_t count) {
  static const uint8_t kZeros[4096] = {};
  while (count) {
    size_t part = static_cast<size_t>(std::min<uint64_t>(count, sizeof kZeros));
    Add(kZeros, part);
    count -= part;
  }
}

uint32_t PeChecksum::Value() const {
  uint64_t sum = sum_;
  if (pendingLow_ >= 0) sum += static_cast<uint64_t>(pendingLow_);
  return static_cast<uint32_t>(Fold(sum) + length_);
}

uint32_t ComputePeChecksum(const uint8_t* bytes, size_t size, uint64_t checksumFieldOffset) {
  PeChecksum checksum(checksumFieldOffset);
  checksum.Add(bytes, size);
  return checksum.Value();
}

// The image checksum of a PE file: the 16-bit little-endian words of the whole file summed with
// the carries folded back in, the CheckSum field counted as zero, plus the file's length. An odd
// last byte counts as a word whose high byte is zero, as the platform's own checksum routine does.
//
// The sum runs over the file as it streams by, so a launcher of any size is checksummed while it
// is written or read, without holding it in memory.
#pragma once

#include <cstddef>
#include <cstdint>

class PeChecksum {
 public:
  // `checksumFieldOffset`: file offset of the 4-byte CheckSum field (PeImage::checksumOffset).
  explicit PeChecksum(uint64_t checksumFieldOffset) : field_(checksumFieldOffset) {}

  // The next `count` bytes of the file, in file order.
  void Add(const uint8_t* bytes, size_t count);
  void AddZeros(uint64_t count);

  uint64_t Length() const { return length_; }
  // The checksum of the bytes added so far, taken as the whole file.
  uint32_t Value() const;

 private:
  void AddWords(const uint8_t* bytes, size_t count);  // even offset, even count
  void AddByte(uint8_t byte);

  uint64_t field_;
  uint64_t length_ = 0;
  uint64_t sum_ = 0;     // folded lazily; never near overflow
  int pendingLow_ = -1;  // the low byte of a word whose high byte has not come yet
};

// The checksum of a file held in memory.
uint32_t ComputePeChecksum(const uint8_t* bytes, size_t size, uint64_t checksumFieldOffset);

#include <gtest/gtest.h>

#include <vector>

#include "pack/format/pe_checksum.h"

namespace {

std::vector<uint8_t> Noise(size_t count, uint32_t seed) {
  std::vector<uint8_t> out(count);
  for (size_t i = 0; i < count; ++i) {
    seed = seed * 1103515245 + 12345;
    out[i] = static_cast<uint8_t>(seed >> 16);
  }
  return out;
}

// The checksum as the platform documents it, one word at a time.
uint32_t WordByWord(const std::vector<uint8_t>& file, size_t field) {
  uint32_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    uint32_t low = (i >= field && i < field + 4) ? 0 : file[i];
    uint32_t high = i + 1 >= file.size() || (i + 1 >= field && i + 1 < field + 4) ? 0 : file[i + 1];
    sum += low | high << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + static_cast<uint32_t>(file.size());
}

}  // namespace

TEST(PeChecksum, SumsWordsWithCarriesFoldedAndAddsTheLength) {
  // 0xFFFF + 0x0002 = 0x10001, folded to 0x0002; the field (bytes 4..7) counts as zero.
  std::vector<uint8_t> file{0xFF, 0xFF, 0x02, 0x00, 0xAA, 0xBB, 0xCC, 0xDD};
  EXPECT_EQ(ComputePeChecksum(file.data(), file.size(), 4), 0x0002u + 8u);
  EXPECT_EQ(ComputePeChecksum(file.data(), file.size(), 100),
            ((0x0002u + 0xBBAA + 0xDDCC) % 0xFFFF) + 8u);
}

TEST(PeChecksum, AnOddLastByteIsTheLowHalfOfAWord) {
  std::vector<uint8_t> file{0x01, 0x00, 0x05};
  EXPECT_EQ(ComputePeChecksum(file.data(), file.size(), 100), 0x0006u + 3u);
}

TEST(PeChecksum, AgreesWithTheWordByWordSumOnLargeFiles) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{300001}, size_t{1 << 20}}) {
    std::vector<uint8_t> file = Noise(size, static_cast<uint32_t>(size));
    for (size_t field : {size_t{216}, size_t{217}, size_t{0}}) {
      EXPECT_EQ(ComputePeChecksum(file.data(), file.size(), field), WordByWord(file, field))
          << size << " " << field;
    }
  }
}

TEST(PeChecksum, StreamingInAnyPiecesGivesTheSameValue) {
  std::vector<uint8_t> file = Noise(200000, 7);
  uint32_t whole = ComputePeChecksum(file.data(), file.size(), 0x99);
  for (size_t piece : {size_t{1}, size_t{3}, size_t{4095}, size_t{65536}}) {
    PeChecksum checksum(0x99);
    for (size_t at = 0; at < file.size(); at += piece)
      checksum.Add(file.data() + at, std::min(piece, file.size() - at));
    EXPECT_EQ(checksum.Value(), whole) << piece;
    EXPECT_EQ(checksum.Length(), file.size());
  }
}

TEST(PeChecksum, ZerosCountLikeZeroBytes) {
  std::vector<uint8_t> file = Noise(1001, 3);
  PeChecksum checksum(10);
  checksum.Add(file.data(), file.size());
  checksum.AddZeros(77);
  file.resize(1078, 0);
  EXPECT_EQ(checksum.Value(), ComputePeChecksum(file.data(), file.size(), 10));
}

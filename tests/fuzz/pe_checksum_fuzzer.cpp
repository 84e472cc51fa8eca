// The image checksum, streamed in arbitrary pieces, against a one-shot computation and a plain
// byte-by-byte reference.
//
// Input: the CheckSum field's offset, a repeat count and up to 16 piece lengths (each piece fed
// either as bytes or, for a run of zeros, through AddZeros), then the file's bytes, repeated so
// that files longer than the checksum's 128 KiB summing blocks occur too. After every piece the
// running value must be the checksum of the bytes fed so far, taken as a whole file.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "pack/format/pe_checksum.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The checksum restated: bytes at even offsets are the low halves of the 16-bit words, bytes at
// odd offsets the high halves, the four CheckSum bytes count as zero; the sum is folded to 16 bits
// with end-around carries and the file's length is added.
class ReferenceChecksum {
 public:
  explicit ReferenceChecksum(uint64_t field) : field_(field) {}

  void Add(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i, ++length_) {
      bool inField = length_ >= field_ && length_ - field_ < 4;
      uint64_t value = inField ? 0 : bytes[i];
      sum_ += (length_ % 2 == 0) ? value : value << 8;
    }
  }
  uint64_t Length() const { return length_; }
  uint32_t Value() const {
    uint64_t folded = sum_;
    while (folded > 0xFFFF) folded = (folded & 0xFFFF) + (folded >> 16);
    return static_cast<uint32_t>(folded + length_);
  }

 private:
  uint64_t field_;
  uint64_t length_ = 0;
  uint64_t sum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  // Mostly inside the file, at odd and even offsets; sometimes anywhere, beyond the end included.
  const uint64_t field = input.ConsumeBool() ? input.ConsumeIntegral<uint64_t>()
                                             : input.ConsumeIntegralInRange<uint64_t>(0, 4096);
  const int repeats = input.ConsumeIntegralInRange<int>(1, 64);
  std::vector<std::pair<size_t, bool>> pieces;  // length, fed as zeros
  const int pieceCount = input.ConsumeIntegralInRange<int>(0, 16);
  for (int i = 0; i < pieceCount; ++i)
    pieces.emplace_back(input.ConsumeIntegral<uint32_t>() & 0x3FFFF, input.ConsumeBool());
  const std::vector<uint8_t> unit = input.ConsumeRemainingBytes<uint8_t>();

  std::vector<uint8_t> file;
  for (int i = 0; i < repeats; ++i) file.insert(file.end(), unit.begin(), unit.end());

  PeChecksum streamed(field);
  ReferenceChecksum reference(field);
  size_t at = 0;
  auto feed = [&](size_t length, bool asZeros) {
    if (asZeros) {
      std::fill(file.begin() + at, file.begin() + at + length, 0);
      streamed.AddZeros(length);
    } else {
      // An exactly sized copy, so a read past the piece is caught.
      std::vector<uint8_t> piece(file.begin() + at, file.begin() + at + length);
      streamed.Add(piece.data(), piece.size());
    }
    reference.Add(file.data() + at, length);
    at += length;
    FUZZ_CHECK(streamed.Length() == reference.Length());
    FUZZ_CHECK(streamed.Value() == reference.Value());
  };
  for (const auto& piece : pieces) feed(std::min(piece.first, file.size() - at), piece.second);
  feed(file.size() - at, false);

  // The whole file at once, as the tool checksums a file it holds in memory.
  FUZZ_CHECK(ComputePeChecksum(file.data(), file.size(), field) == reference.Value());
  return 0;
}

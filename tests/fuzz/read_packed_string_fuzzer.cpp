// The names reader alone, from any start position, read after read as the trailer search does.
//
// Input: four bytes that choose the first position (anywhere from 0 to n + 1, odd ones included),
// then the buffer, copied into a heap block of exactly n bytes. Each read is checked against the
// bytes themselves: the position never moves back or past n + 1, and the text returned is exactly
// the whole units between the start and the first zero unit, or empty when no zero unit is left.
#include <cstdint>
#include <cstring>
#include <memory>

#include "launch/anchor_record.h"
#include "launch/scan_tail.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The unit at byte `at`, when both of its bytes are inside the buffer.
bool UnitAt(const uint8_t* buffer, int64_t n, int64_t at, char16_t& unit) {
  if (at < 0 || at + 2 > n) return false;
  unit = static_cast<char16_t>(buffer[at] | buffer[at + 1] << 8);
  return true;
}

void CheckOneRead(const uint8_t* buffer, int32_t n, int32_t& pos) {
  const int32_t start = pos;
  WideString text = ReadPackedString(buffer, n, pos);

  FUZZ_CHECK(pos >= start);
  FUZZ_CHECK(pos <= n + 1);
  FUZZ_CHECK((pos - start) % 2 == 0);  // whole units only

  // Where the first zero unit from `start` stands, if one lies inside the buffer.
  int64_t zeroAt = -1;
  char16_t unit = 0;
  for (int64_t at = start; UnitAt(buffer, n, at, unit); at += 2) {
    if (unit == 0) {
      zeroAt = at;
      break;
    }
  }

  if (zeroAt < 0) {
    // Unended: empty, and the position is left where every later read is empty too.
    FUZZ_CHECK(text.Empty());
    FUZZ_CHECK(pos >= n - 1);
    return;
  }
  FUZZ_CHECK(pos == zeroAt + 2);
  FUZZ_CHECK(static_cast<int64_t>(text.Length()) == (zeroAt - start) / 2);
  for (size_t i = 0; i < text.Length(); ++i) {
    FUZZ_CHECK(UnitAt(buffer, n, start + 2 * static_cast<int64_t>(i), unit));
    FUZZ_CHECK(text[i] == unit);
  }
  FUZZ_CHECK(text.Data()[text.Length()] == 0);  // the string stays terminated
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t rawStart = 0;
  if (size >= 4) {
    rawStart = LoadU32(data);
    data += 4;
    size -= 4;
  }
  if (size > static_cast<size_t>(kTailWindowSize)) size = kTailWindowSize;
  const int32_t n = static_cast<int32_t>(size);
  int32_t pos = static_cast<int32_t>(rawStart % (static_cast<uint32_t>(n) + 2));

  std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
  if (size != 0) std::memcpy(buffer.get(), data, size);

  // More reads than the four names, so the reads past an unended string are covered too.
  for (int read = 0; read < 8; ++read) {
    const int32_t before = pos;
    CheckOneRead(buffer.get(), n, pos);
    if (before >= n - 1) FUZZ_CHECK(pos == before);  // nothing left: the position stays
  }
  return 0;
}

// The trailer search and the names reader over arbitrary tails and window starts.
//
// Input: four bytes that choose the window start, then the tail itself. The tail is copied into a
// heap buffer of exactly n bytes, so AddressSanitizer stops any read outside it. The result is
// compared with a plain byte-by-byte restatement of the rule below, and every success is checked
// against the bytes it claims to have found.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "launch/scan_tail.h"
#include "pack/format/trailer_writer.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/launch/test_text.h"

namespace {

struct ReferenceScan {
  int32_t result = kNoMatch;
  std::u16string names[4];
};

// The rule written out a second time, independently of the launcher's code: the first position
// at a multiple of 128 whose 44 bytes fit and that holds BC 66 AA 55 at +0 and AB 55 BB 66 at +40;
// then four zero-ended UTF-16LE names, each read in whole units up to the last complete unit (an
// unended name reads as empty); refused when a name is empty or the record is the file's first
// byte.
ReferenceScan Reference(const uint8_t* tail, int64_t n, int64_t windowStart) {
  static const uint8_t kHead[4] = {0xBC, 0x66, 0xAA, 0x55};
  static const uint8_t kTail[4] = {0xAB, 0x55, 0xBB, 0x66};
  ReferenceScan scan;
  for (int64_t off = 0; off + 44 <= n; off += 128) {
    if (std::memcmp(tail + off, kHead, 4) != 0 || std::memcmp(tail + off + 40, kTail, 4) != 0)
      continue;
    int64_t p = off + 44;
    bool anyEmpty = false;
    for (std::u16string& name : scan.names) {
      bool ended = false;
      while (p + 2 <= n) {
        char16_t unit = static_cast<char16_t>(tail[p] | tail[p + 1] << 8);
        p += 2;
        if (unit == 0) {
          ended = true;
          break;
        }
        name.push_back(unit);
      }
      if (!ended) name.clear();
      anyEmpty = anyEmpty || name.empty();
    }
    scan.result = anyEmpty || windowStart + off == 0 ? kRecordRefused : static_cast<int32_t>(off);
    return scan;
  }
  return scan;
}

const char16_t kSentinel[] = u"slot held this before";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t rawStart = 0;
  if (size >= 4) {
    rawStart = LoadU32(data);
    data += 4;
    size -= 4;
  }
  if (size > static_cast<size_t>(kTailWindowSize)) size = kTailWindowSize;  // the buffer's size
  const int32_t n = static_cast<int32_t>(size);
  // Any window start for which the window still ends below 2 GiB, as for every file the launcher
  // accepts; 0 (the whole file is the window) is one of them.
  const int32_t windowStart =
      static_cast<int32_t>(rawStart % (static_cast<uint32_t>(INT32_MAX - n) + 1));

  std::unique_ptr<uint8_t[]> tail(new uint8_t[size]);
  if (size != 0) std::memcpy(tail.get(), data, size);

  PayloadNames names;
  WideString* slots[4] = {&names.title, &names.folderName, &names.installerName,
                          &names.packageName};
  for (WideString* slot : slots) slot->Assign(kSentinel, sizeof kSentinel / 2 - 1);
  AnchorRecord record{};
  record.stubLength = 0xDEADBEEF;
  record.packageTime = 0x0123456789ABCDEFull;

  const int32_t result = ScanTail(tail.get(), n, windowStart, names, record);
  const ReferenceScan expected = Reference(tail.get(), n, windowStart);
  FUZZ_CHECK(result == expected.result);

  if (result == kNoMatch) {
    for (WideString* slot : slots) FUZZ_CHECK(Text(*slot) == kSentinel);  // nothing stored
  } else {
    for (int i = 0; i < 4; ++i) FUZZ_CHECK(Text(*slots[i]) == expected.names[i]);
  }
  if (result < 0) {
    FUZZ_CHECK(result == kNoMatch || result == kRecordRefused);
    FUZZ_CHECK(record.stubLength == 0xDEADBEEF);  // only an accepted record is copied
    FUZZ_CHECK(record.packageTime == 0x0123456789ABCDEFull);
    return 0;
  }

  const int32_t off = result;
  FUZZ_CHECK(off % kAnchorAlignment == 0);
  FUZZ_CHECK(int64_t{off} + kAnchorRecordSize <= n);
  FUZZ_CHECK(int64_t{windowStart} + off != 0);
  for (WideString* slot : slots) FUZZ_CHECK(!slot->Empty());

  FUZZ_CHECK(record.magicHead == kMagicHead && record.magicTail == kMagicTail);
  uint8_t encoded[kAnchorRecordSize];
  EncodeAnchorRecord(record, encoded);
  FUZZ_CHECK(std::memcmp(encoded, tail.get() + off, kAnchorRecordSize) == 0);

  // The names as the pack tool writes them are exactly the bytes that follow the record.
  const std::vector<uint8_t> block =
      EncodeNamesBlock(TrailerNames{Text(names.title), Text(names.folderName),
                                    Text(names.installerName), Text(names.packageName)});
  FUZZ_CHECK(int64_t{off} + kAnchorRecordSize + static_cast<int64_t>(block.size()) <= n);
  FUZZ_CHECK(std::memcmp(block.data(), tail.get() + off + kAnchorRecordSize, block.size()) == 0);
  return 0;
}

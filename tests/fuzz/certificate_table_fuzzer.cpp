// The certificate-table reader over arbitrary tables at any file offset.
//
// Input: four bytes that give the table's file offset (only its distance from a multiple of 128
// matters), one byte that chooses the scan piece (128 to 1024 bytes, so small inputs cross piece
// boundaries), then the table. The table is copied into a heap buffer of exactly n bytes, and
// every read the reader asks for is checked to lie inside it. The results are compared with a
// plain restatement of each rule, and the magic scan with the default piece size too.
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "pack/format/certificate_table.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

uint32_t U32(const uint8_t* b) { return b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24; }
uint16_t U16(const uint8_t* b) { return static_cast<uint16_t>(b[0] | b[1] << 8); }

// The DER length of a SEQUENCE at `b` that is a ContentInfo of SignedData, written out again:
// 30, a minimal definite length of at most 4 bytes, then 06 09 2A 86 48 86 F7 0D 01 07 02.
std::optional<uint64_t> ReferenceSignedData(const uint8_t* b, uint64_t n) {
  static const uint8_t kOid[11] = {6, 9, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 1, 7, 2};
  if (n < 2 || b[0] != 0x30) return std::nullopt;
  uint64_t header = 2, length = b[1];
  if (b[1] > 0x80 && b[1] <= 0x84) {
    uint64_t count = b[1] - 0x80;
    if (n < 2 + count) return std::nullopt;
    length = 0;
    for (uint64_t i = 0; i < count; ++i) length = length * 256 + b[2 + i];
    uint64_t least = count == 1 ? 0x80 : uint64_t{1} << (8 * (count - 1));
    if (length < least) return std::nullopt;
    header += count;
  } else if (b[1] >= 0x80) {
    return std::nullopt;
  }
  if (length < 11 || n < header + 11 || std::memcmp(b + header, kOid, 11) != 0) return std::nullopt;
  return header + length;
}

struct Reads {
  uint64_t bytes = 0;
  size_t largest = 0;
};

ReadTableBytes Reader(const uint8_t* table, uint64_t n, Reads& reads) {
  return [table, n, &reads](uint64_t offset, uint8_t* bytes, size_t count) {
    FUZZ_CHECK(offset <= n && count <= n - offset);
    std::memcpy(bytes, table + offset, count);
    reads.bytes += count;
    if (count > reads.largest) reads.largest = count;
  };
}

void CheckEntries(const CertificateEntries& e, const uint8_t* t, uint64_t n) {
  FUZZ_CHECK(e.tableSize == n);
  if (n < 8) {
    FUZZ_CHECK(!e.first && !e.firstFits && !e.signatureLength && !e.secondEntryAt);
    return;
  }
  FUZZ_CHECK(e.first && e.first->length == U32(t) && e.first->revision == U16(t + 4) &&
             e.first->type == U16(t + 6));
  const uint64_t length = U32(t);
  FUZZ_CHECK(e.firstFits == (length >= 8 && length <= n));
  if (!e.firstFits) {
    FUZZ_CHECK(!e.signatureLength && !e.secondEntryAt);
    return;
  }
  std::optional<uint64_t> der = ReferenceSignedData(t + 8, length - 8);
  if (der && *der > length - 8) der.reset();
  FUZZ_CHECK(e.signatureLength == der);

  const uint64_t next = (length + 7) / 8 * 8;
  bool second = next + 8 <= n && U32(t + next) >= 8 && U32(t + next) <= n - next;
  FUZZ_CHECK(e.secondEntryAt.has_value() == second);
  if (second) FUZZ_CHECK(*e.secondEntryAt == next);

  if (!der) return;
  const uint64_t end = 8 + *der;
  FUZZ_CHECK(e.afterSignature == n - end);
  if (n - end < 8) {
    bool zero = true;
    for (uint64_t i = end; i < n; ++i) zero = zero && t[i] == 0;
    FUZZ_CHECK(e.afterSignatureZero == zero);
  }
}

void CheckMagics(const TrailerMagicsInTable& found, uint64_t fileOffset, const uint8_t* t,
                 uint64_t n) {
  static const uint8_t kHead[4] = {0xBC, 0x66, 0xAA, 0x55};
  static const uint8_t kTail[4] = {0xAB, 0x55, 0xBB, 0x66};
  uint64_t count = 0, first = 0;
  for (uint64_t p = 0; p + 44 <= n; ++p) {
    if ((fileOffset + p) % 128 != 0) continue;
    if (std::memcmp(t + p, kHead, 4) != 0 || std::memcmp(t + p + 40, kTail, 4) != 0) continue;
    if (count++ == 0) first = p;
  }
  FUZZ_CHECK(found.count == count);
  if (count) FUZZ_CHECK(found.firstAt == first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const uint64_t fileOffset = U32(data);
  const size_t piece = 128 * (1 + data[4] % 8);
  const uint64_t n = size - 5;
  std::unique_ptr<uint8_t[]> table(new uint8_t[n ? n : 1]);
  if (n) std::memcpy(table.get(), data + 5, n);

  Reads entryReads;
  CertificateEntries entries = ReadCertificateEntries(n, Reader(table.get(), n, entryReads));
  CheckEntries(entries, table.get(), n);
  FUZZ_CHECK(entryReads.bytes <= 40);

  Reads scanReads;
  TrailerMagicsInTable magics =
      FindTrailerMagics(fileOffset, n, Reader(table.get(), n, scanReads), piece);
  CheckMagics(magics, fileOffset, table.get(), n);
  FUZZ_CHECK(scanReads.largest <= piece - 128 + 44);
  // The pieces do not overlap: no byte is read twice.
  FUZZ_CHECK(scanReads.bytes <= n);
  Reads wholeReads;
  TrailerMagicsInTable whole = FindTrailerMagics(fileOffset, n, Reader(table.get(), n, wholeReads));
  FUZZ_CHECK(whole.count == magics.count && whole.firstAt == magics.firstAt);
  return 0;
}

#include "pack/format/certificate_table.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "launch/anchor_record.h"
#include "pack/format/trailer_writer.h"

namespace {

// 1.2.840.113549.1.7.2, PKCS #7 SignedData, as a DER OBJECT IDENTIFIER.
const uint8_t kSignedDataOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};

WinCertificateHeader DecodeHeader(const uint8_t* bytes) {
  return {LoadU32(bytes), LoadU16(bytes + 4), LoadU16(bytes + 6)};
}

}  // namespace

std::optional<uint64_t> SignedDataLength(const uint8_t* bytes, size_t size) {
  if (size < 2 || bytes[0] != 0x30) return std::nullopt;
  uint64_t length = bytes[1];
  size_t header = 2;
  if (length >= 0x80) {
    // DER: the long form with 1 to 4 length bytes, no leading zero, only for lengths of 128 on.
    size_t count = bytes[1] & 0x7F;
    if (count == 0 || count > 4 || size < 2 + count || bytes[2] == 0) return std::nullopt;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = length << 8 | bytes[2 + i];
    if (length < 0x80) return std::nullopt;
    header += count;
  }
  if (length < sizeof kSignedDataOid || size < header + sizeof kSignedDataOid ||
      std::memcmp(bytes + header, kSignedDataOid, sizeof kSignedDataOid) != 0)
    return std::nullopt;
  return header + length;
}

CertificateEntries ReadCertificateEntries(uint64_t tableSize, const ReadTableBytes& read) {
  CertificateEntries out;
  out.tableSize = tableSize;
  if (tableSize < kWinCertificateHeaderSize) return out;

  uint8_t head[kWinCertificateHeaderSize + kSignatureHeadSize];
  size_t headSize = static_cast<size_t>(std::min<uint64_t>(tableSize, sizeof head));
  read(0, head, headSize);
  out.first = DecodeHeader(head);
  const uint32_t length = out.first->length;
  out.firstFits = length >= kWinCertificateHeaderSize && length <= tableSize;
  if (!out.firstFits) return out;

  const size_t entryHead = std::min<size_t>(headSize, length) - kWinCertificateHeaderSize;
  out.signatureLength = SignedDataLength(head + kWinCertificateHeaderSize, entryHead);
  if (out.signatureLength && *out.signatureLength > length - kWinCertificateHeaderSize)
    out.signatureLength.reset();

  uint64_t next = NextMultiple(length, 8);
  if (next < tableSize && tableSize - next >= kWinCertificateHeaderSize) {
    uint8_t second[kWinCertificateHeaderSize];
    read(next, second, sizeof second);
    uint32_t secondLength = DecodeHeader(second).length;
    if (secondLength >= kWinCertificateHeaderSize && secondLength <= tableSize - next)
      out.secondEntryAt = next;
  }

  if (out.signatureLength) {
    uint64_t signatureEnd = kWinCertificateHeaderSize + *out.signatureLength;
    out.afterSignature = tableSize - signatureEnd;
    if (out.afterSignature < 8) {
      uint8_t rest[8] = {};
      read(signatureEnd, rest, static_cast<size_t>(out.afterSignature));
      out.afterSignatureZero =
          std::all_of(rest, rest + out.afterSignature, [](uint8_t b) { return b == 0; });
    }
  }
  return out;
}

TrailerMagicsInTable FindTrailerMagics(uint64_t fileOffset, uint64_t tableSize,
                                       const ReadTableBytes& read, size_t scanPiece) {
  TrailerMagicsInTable out;
  const uint64_t step = kAnchorAlignment;
  const uint64_t record = kAnchorRecordSize;
  const uint64_t piece = std::max<uint64_t>(scanPiece / step * step, step);
  const uint64_t first = (fileOffset + step - 1) / step * step - fileOffset;  // a table offset
  std::vector<uint8_t> bytes;
  for (uint64_t at = first; at < tableSize && tableSize - at >= record; at += piece) {
    // The steps at, at + 128, ... below at + piece, each with its whole record.
    uint64_t end = std::min(tableSize, at + piece - step + record);
    bytes.resize(static_cast<size_t>(end - at));
    read(at, bytes.data(), bytes.size());
    for (size_t off = 0; off + record <= bytes.size(); off += step) {
      if (!HasAnchorMagics(bytes.data() + off)) continue;
      if (out.count++ == 0) out.firstAt = at + off;
    }
  }
  return out;
}

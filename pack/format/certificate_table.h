// Reading the certificate table that a signed image's security directory names: its
// WIN_CERTIFICATE entries, the length of the PKCS #7 signature in the first one, and the 128-byte
// steps inside it that carry the trailer's two magic values.
//
// The Authenticode hash leaves the whole table out, so whatever it holds besides the signature is
// not covered by it. Platform-free and bounded: the bytes are asked for through `read`, never
// outside the table, and no length read from the table is used before it is checked against the
// table's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

constexpr uint16_t kWinCertRevision2 = 0x0200;
constexpr uint16_t kWinCertTypePkcsSignedData = 0x0002;
constexpr uint32_t kWinCertificateHeaderSize = 8;  // dwLength, wRevision, wCertificateType
constexpr size_t kCertificateScanPiece = 64 * 1024;

// Fills `bytes` with the `count` bytes at `offset`, counted from the table's start.
using ReadTableBytes = std::function<void(uint64_t offset, uint8_t* bytes, size_t count)>;

struct WinCertificateHeader {
  uint32_t length = 0;  // dwLength: the header and what follows it
  uint16_t revision = 0;
  uint16_t type = 0;
};

// What the entries of a certificate table say.
struct CertificateEntries {
  uint64_t tableSize = 0;  // bytes of the table that are there to read

  std::optional<WinCertificateHeader> first;  // absent when fewer than 8 bytes
  bool firstFits = false;                     // 8 <= first->length <= tableSize
  // The DER length, header included, of the SEQUENCE (a PKCS #7 ContentInfo of SignedData)
  // after the first header, when it is one and fits inside the entry's length.
  std::optional<uint64_t> signatureLength;
  // Table offset of a second entry: a header at the next multiple of 8 after the first entry
  // whose length fits the rest of the table.
  std::optional<uint64_t> secondEntryAt;
  // The bytes after the signature inside the table, and whether they are all zero (read only
  // when there are at most 7 of them).
  uint64_t afterSignature = 0;
  bool afterSignatureZero = false;
};

// The 128-byte steps of the file (not of the table) inside the table at which both magic values
// of an anchor record stand, the whole record inside the table: how many, and the first one's
// table offset.
struct TrailerMagicsInTable {
  uint64_t count = 0;
  uint64_t firstAt = 0;
};

// `tableSize` is how many of the table's bytes the file holds. Reads at most 40 bytes.
CertificateEntries ReadCertificateEntries(uint64_t tableSize, const ReadTableBytes& read);

// `fileOffset` is where the table starts in the file. Reads the table once, in pieces of at most
// `scanPiece` bytes (rounded down to a multiple of 128, at least 128) plus 44.
TrailerMagicsInTable FindTrailerMagics(uint64_t fileOffset, uint64_t tableSize,
                                       const ReadTableBytes& read,
                                       size_t scanPiece = kCertificateScanPiece);

// The DER length, header included, of the SEQUENCE that starts `bytes` when it is a ContentInfo
// whose content type is PKCS #7 SignedData; nothing otherwise. Needs at most the first
// kSignatureHeadSize bytes.
constexpr size_t kSignatureHeadSize = 17;  // tag, 5 length bytes at most, the 11-byte OID
std::optional<uint64_t> SignedDataLength(const uint8_t* bytes, size_t size);

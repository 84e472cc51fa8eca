// The launcher-file trailer: the one definition of its layout, shared by the launcher, the pack
// tool and the tests. docs/format.md describes the layout: the launcher's image, the installer,
// the package, then the 44-byte anchor record at a 128-byte boundary and the four names.
#pragma once

#include <cstdint>

constexpr uint32_t kMagicHead = 0x55AA66BC;
constexpr uint32_t kMagicTail = 0x66BB55AB;

constexpr int32_t kAnchorRecordSize = 44;
constexpr int32_t kAnchorAlignment = 128;    // the trailer is searched at 128-byte steps
constexpr int32_t kTailWindowSize = 131072;  // only the last 128 KiB of a file are searched

// Byte offsets of the fields inside the record.
constexpr int kMagicHeadAt = 0;
constexpr int kStubLengthAt = 4;
constexpr int kInstallerTimeAt = 8;
constexpr int kPackageTimeAt = 16;
constexpr int kInstallerOffsetAt = 24;
constexpr int kInstallerSizeAt = 28;
constexpr int kPackageOffsetAt = 32;
constexpr int kPackageSizeAt = 36;
constexpr int kMagicTailAt = 40;

struct AnchorRecord {
  uint32_t magicHead;
  uint32_t stubLength;     // not interpreted by the launcher
  uint64_t installerTime;  // FILETIME: 100 ns intervals since 1601-01-01 UTC
  uint64_t packageTime;
  uint32_t installerOffset;
  uint32_t installerSize;
  uint32_t packageOffset;
  uint32_t packageSize;
  uint32_t magicTail;
};

inline uint16_t LoadU16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}
uint32_t LoadU32(const uint8_t* bytes);
uint64_t LoadU64(const uint8_t* bytes);
void StoreU32(uint8_t* bytes, uint32_t value);
void StoreU64(uint8_t* bytes, uint64_t value);

// Both magics in place: the two comparisons of the search, the second only when the first holds.
bool HasAnchorMagics(const uint8_t* bytes);

AnchorRecord DecodeAnchorRecord(const uint8_t* bytes);
void EncodeAnchorRecord(const AnchorRecord& record, uint8_t* bytes);

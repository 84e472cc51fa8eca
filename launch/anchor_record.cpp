#include "launch/anchor_record.h"

uint32_t LoadU32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

uint64_t LoadU64(const uint8_t* bytes) {
  return uint64_t{LoadU32(bytes)} | uint64_t{LoadU32(bytes + 4)} << 32;
}

bool HasAnchorMagics(const uint8_t* bytes) {
  return LoadU32(bytes + kMagicHeadAt) == kMagicHead && LoadU32(bytes + kMagicTailAt) == kMagicTail;
}

AnchorRecord DecodeAnchorRecord(const uint8_t* bytes) {
  AnchorRecord record;
  record.magicHead = LoadU32(bytes + kMagicHeadAt);
  record.stubLength = LoadU32(bytes + kStubLengthAt);
  record.installerTime = LoadU64(bytes + kInstallerTimeAt);
  record.packageTime = LoadU64(bytes + kPackageTimeAt);
  record.installerOffset = LoadU32(bytes + kInstallerOffsetAt);
  record.installerSize = LoadU32(bytes + kInstallerSizeAt);
  record.packageOffset = LoadU32(bytes + kPackageOffsetAt);
  record.packageSize = LoadU32(bytes + kPackageSizeAt);
  record.magicTail = LoadU32(bytes + kMagicTailAt);
  return record;
}

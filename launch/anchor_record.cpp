#include "launch/anchor_record.h"

uint32_t LoadU32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

uint64_t LoadU64(const uint8_t* bytes) {
  return uint64_t{LoadU32(bytes)} | uint64_t{LoadU32(bytes + 4)} << 32;
}

void StoreU32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

void StoreU64(uint8_t* bytes, uint64_t value) {
  StoreU32(bytes, static_cast<uint32_t>(value));
  StoreU32(bytes + 4, static_cast<uint32_t>(value >> 32));
}

bool HasAnchorMagics(const uint8_t* bytes) {
  return LoadU32(bytes + kMagicHeadAt) == kMagicHead &&
         LoadU32(bytes + kMagicTailAt) == kMagicTail;
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

void EncodeAnchorRecord(const AnchorRecord& record, uint8_t* bytes) {
  StoreU32(bytes + kMagicHeadAt, record.magicHead);
  StoreU32(bytes + kStubLengthAt, record.stubLength);
  StoreU64(bytes + kInstallerTimeAt, record.installerTime);
  StoreU64(bytes + kPackageTimeAt, record.packageTime);
  StoreU32(bytes + kInstallerOffsetAt, record.installerOffset);
  StoreU32(bytes + kInstallerSizeAt, record.installerSize);
  StoreU32(bytes + kPackageOffsetAt, record.packageOffset);
  StoreU32(bytes + kPackageSizeAt, record.packageSize);
  StoreU32(bytes + kMagicTailAt, record.magicTail);
}

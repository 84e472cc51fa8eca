// The writing half of the record's code (the pack tool and the tests write records). It lives apart
// from the reading half so that the launcher, which only reads records, does not carry it.
#include "launch/anchor_record.h"

void StoreU32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

void StoreU64(uint8_t* bytes, uint64_t value) {
  StoreU32(bytes, static_cast<uint32_t>(value));
  StoreU32(bytes + 4, static_cast<uint32_t>(value >> 32));
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

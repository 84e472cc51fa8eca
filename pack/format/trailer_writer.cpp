#include "pack/format/trailer_writer.h"

uint64_t NextMultiple(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }

static void AppendName(std::vector<uint8_t>& out, const std::u16string& name) {
  for (char16_t unit : name) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  out.push_back(0);
  out.push_back(0);
}

std::vector<uint8_t> EncodeNamesBlock(const TrailerNames& names) {
  std::vector<uint8_t> out;
  AppendName(out, names.title);
  AppendName(out, names.folderName);
  AppendName(out, names.installerName);
  AppendName(out, names.packageName);
  return out;
}

std::vector<uint8_t> EncodeTrailer(const AnchorRecord& record, const TrailerNames& names) {
  std::vector<uint8_t> out(kAnchorRecordSize);
  EncodeAnchorRecord(record, out.data());
  std::vector<uint8_t> block = EncodeNamesBlock(names);
  out.insert(out.end(), block.begin(), block.end());
  return out;
}

AnchorRecord MakeAnchorRecord(uint32_t stubLength, uint64_t installerTime, uint64_t packageTime,
                              uint32_t installerOffset, uint32_t installerSize,
                              uint32_t packageOffset, uint32_t packageSize) {
  AnchorRecord record;
  record.magicHead = kMagicHead;
  record.stubLength = stubLength;
  record.installerTime = installerTime;
  record.packageTime = packageTime;
  record.installerOffset = installerOffset;
  record.installerSize = installerSize;
  record.packageOffset = packageOffset;
  record.packageSize = packageSize;
  record.magicTail = kMagicTail;
  return record;
}

LauncherLayout DistributedLayout(uint64_t stubLength, uint64_t installerSize, uint64_t packageSize,
                                 uint64_t trailerSize) {
  LauncherLayout layout;
  layout.installerOffset = stubLength;
  layout.packageOffset = NextMultiple(layout.installerOffset + installerSize, 16);
  layout.trailerOffset = NextMultiple(layout.packageOffset + packageSize, kAnchorAlignment);
  layout.fileLength = layout.trailerOffset + trailerSize;
  return layout;
}

int64_t RoomAfterTrailer(uint64_t trailerOffset, uint64_t fileLength) {
  return static_cast<int64_t>(trailerOffset + kTailWindowSize) - static_cast<int64_t>(fileLength);
}

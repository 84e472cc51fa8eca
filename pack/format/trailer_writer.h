// Writing the trailer and laying out a launcher file. Uses the launcher's own record layout
// (launch/anchor_record.h); nothing here defines the format a second time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launch/anchor_record.h"

struct TrailerNames {
  std::u16string title;
  std::u16string folderName;
  std::u16string installerName;
  std::u16string packageName;
};

// Bytes a file can still grow by at its end before the record at `trailerOffset` would leave the
// tail window.
int64_t RoomAfterTrailer(uint64_t trailerOffset, uint64_t fileLength);

// The smallest multiple of `step` that is not below `value`.
uint64_t NextMultiple(uint64_t value, uint64_t step);

// The four names as UTF-16LE, each ended by one zero unit, with nothing between them.
std::vector<uint8_t> EncodeNamesBlock(const TrailerNames& names);

// The record followed directly by the names block.
std::vector<uint8_t> EncodeTrailer(const AnchorRecord& record, const TrailerNames& names);

// A record with both magics and the given placement; times and stub length as given.
AnchorRecord MakeAnchorRecord(uint32_t stubLength, uint64_t installerTime, uint64_t packageTime,
                              uint32_t installerOffset, uint32_t installerSize,
                              uint32_t packageOffset, uint32_t packageSize);

// The distributed layout: the installer right after the image, the package at the next multiple
// of 16, the trailer at the next multiple of 128. Gaps are zero bytes.
struct LauncherLayout {
  uint64_t installerOffset;
  uint64_t packageOffset;
  uint64_t trailerOffset;
  uint64_t fileLength;  // up to the end of the names block
};

LauncherLayout DistributedLayout(uint64_t stubLength, uint64_t installerSize, uint64_t packageSize,
                                 uint64_t trailerSize);

// Building whole launcher files in memory: for the tests, which need every arrangement of the
// format, and for small files. The pack tool streams large files with the same layout.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "pack/format/trailer_writer.h"

struct LauncherContents {
  std::vector<uint8_t> stub;  // the launcher's own image
  std::vector<uint8_t> installer;
  std::vector<uint8_t> package;
  TrailerNames names;
  uint64_t installerTime = 0;
  uint64_t packageTime = 0;
};

// The distributed layout with zero-filled gaps; stubLength is the image length. `adjust`, when
// given, changes the record before it is written (tests use it to make records that lie).
std::vector<uint8_t> BuildLauncher(const LauncherContents& contents,
                                   const std::function<void(AnchorRecord&)>& adjust = {});

// Writes `bytes` at `offset`, growing `file` with zero bytes as needed.
void PlaceBytes(std::vector<uint8_t>& file, uint64_t offset, const std::vector<uint8_t>& bytes);

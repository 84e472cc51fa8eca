// The contents of the launcher file most end-to-end cases run: the sample names and times, the
// given launcher and installer, and a package of patterned bytes. One definition for the cases and
// for the signed launcher file the build makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/support/sample_files.h"

inline LauncherContents UsualLauncherContents(const std::vector<uint8_t>& stub,
                                              const std::vector<uint8_t>& installer,
                                              size_t packageSize = 5000) {
  return SampleContents(stub, installer, PatternBytes(packageSize, 1));
}

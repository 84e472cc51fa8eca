// The DLLs an image imports, for the tests that hold the launcher to system DLLs only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pack/format/pe_image.h"

// The DLL names of the import directory, in table order, as stored (case unchanged). `bytes` is
// the whole image file. A malformed table yields what could be read and a `problem`.
std::vector<std::string> ImportedDllNames(const PeImage& image, const uint8_t* bytes, size_t size,
                                          std::string* problem);

// Files far larger than what they hold, for the tests and the bench on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Marks the file sparse where its volume keeps sparse files (FSCTL_SET_SPARSE), writes `bytes` and
// then makes the file `length` bytes long without writing the rest, so the file system keeps the
// part between as a hole: a multi-gigabyte file at no cost in time or space.
// `tail` is then written so that it ends at `length`.
bool WriteSparseFile(const std::wstring& path, const std::vector<uint8_t>& bytes, uint64_t length,
                     const std::vector<uint8_t>& tail);

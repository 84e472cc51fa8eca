// Opening a file by a Unicode path, seeking past 2 GiB, and the open file's size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

// Like fopen, with a path that may hold any Unicode name on either platform.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// Like fseek from the start of the file, for offsets beyond 2 GiB too. False on failure.
bool SeekFile(std::FILE* file, uint64_t offset);

// The size of the open file, from its handle (the file read, not whatever the name names by
// now). Throws PackError naming `name`.
uint64_t OpenFileSize(std::FILE* file, const std::string& name);

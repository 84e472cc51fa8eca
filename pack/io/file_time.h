// A file's last-write time as a FILETIME, read and set.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>

// The file's last-write time as a FILETIME (100 ns since 1601-01-01 UTC), a symbolic link's
// target's. Throws PackError.
uint64_t LastWriteTime(const std::filesystem::path& path);

// Sets the file's last-write time to exactly `filetime`. Throws PackError.
void SetLastWriteTime(const std::filesystem::path& path, uint64_t filetime);

// The same through the open file's own handle, after what the C library still buffers is written:
// a time set through another handle gives way, on Windows, to the time of this handle's last
// write when it closes. False on failure, with errno set.
bool SetOpenFileTime(std::FILE* file, uint64_t filetime);

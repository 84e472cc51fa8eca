// The few file operations that differ between Windows and POSIX: opening a file by a Unicode
// path, 64-bit seeks, and the last-write time as a FILETIME. One implementation per platform
// (file_system_posix.cpp, file_system_win32.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>

// Like fopen, with a path that may hold any Unicode name on either platform.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// Like fseek from the start of the file, for offsets beyond 2 GiB too. False on failure.
bool SeekFile(std::FILE* file, uint64_t offset);

// The file's last-write time as a FILETIME (100 ns since 1601-01-01 UTC). Throws PackError.
uint64_t LastWriteTime(const std::filesystem::path& path);

// Sets the file's last-write time to exactly `filetime`. Throws PackError.
void SetLastWriteTime(const std::filesystem::path& path, uint64_t filetime);

// The path as UTF-8, for messages, and a path from UTF-8 (the command line's encoding).
std::string PathText(const std::filesystem::path& path);
std::filesystem::path PathFromText(const std::string& utf8);

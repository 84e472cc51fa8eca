// Putting a file's data, and a rename into its folder, on the disk before going on, so that a
// power cut cannot leave a name without its data.
#pragma once

#include <cstdio>
#include <filesystem>

// Writes what the C library still buffers and has the system put the file's data on the disk
// (fsync; FlushFileBuffers), so that a rename after it cannot outlive the data in a power cut.
// False on failure, with errno set.
bool FlushToDisk(std::FILE* file);

// Makes a rename into the file's folder survive a power cut: on Linux the folder is flushed to
// the disk (fsync); on Windows nothing is documented to do that (file_system_win32.cpp).
// Throws PackError.
void FlushFolderOf(const std::filesystem::path& file);

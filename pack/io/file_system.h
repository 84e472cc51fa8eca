// The file operations that differ between Windows and POSIX: opening a file by a Unicode path,
// 64-bit seeks, status and size, removal, folders, flushing to the disk, putting a finished file
// in place, and the last-write time as a FILETIME. One implementation per platform
// (file_system_posix.cpp, file_system_win32.cpp). On Windows every one is a Win32 call, so that
// "\\?\" paths and paths beyond 260 characters work as the user gives them.
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

// Writes what the C library still buffers and has the system put the file's data on the disk
// (fsync; FlushFileBuffers), so that a rename after it cannot outlive the data in a power cut.
// False on failure, with errno set.
bool FlushToDisk(std::FILE* file);

// What a path names, a symbolic link followed to its target.
enum class FileKind { kMissing, kFile, kFolder, kSpecial, kUnknown };
struct FileStatus {
  FileKind kind;
  std::string what;  // kSpecial: "a device", "a FIFO (named pipe)"...; kUnknown: the error
};
FileStatus StatusOf(const std::filesystem::path& path);

// Whether both paths name one existing file (hard and symbolic links followed).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Removes the file; an empty text when it is gone, or why it is not.
std::string RemoveFile(const std::filesystem::path& path);

// Creates the folder and any missing folders above it. Throws PackError.
void CreateFolders(const std::filesystem::path& folder);

// Puts `written` in the place of `target`, replacing a file there only when `replace` says so:
// otherwise a file that appeared under the name since the caller looked stays, and the call
// throws. On Windows another program's
// hold on the target is waited out for the launcher's hold wait at most (TryAgainWhileHeld).
// Throws PackError naming the target and the system's
// error; `written` is then still there and the target as it was.
void PutInPlace(const std::filesystem::path& written, const std::filesystem::path& target,
                bool replace);

// Makes a rename into the file's folder survive a power cut: on Linux the folder is flushed to
// the disk (fsync); on Windows nothing is documented to do that (file_system_win32.cpp).
// Throws PackError.
void FlushFolderOf(const std::filesystem::path& file);

// Carries `source`'s mark of the web (its Zone.Identifier stream, which a browser writes on a
// download) onto `target`, where the target's volume can hold it, written through to the disk.
// Nothing when the source has none, and nothing on POSIX. Where the volume says it holds named
// streams, a mark that cannot be written throws PackError; where the volume cannot be asked (a
// share: SMB answers no volume queries) it is written all the same, and the answer is a warning
// when that fails (MarkWriteFor). Empty otherwise.
std::string CopyZoneMark(const std::filesystem::path& source, const std::filesystem::path& target);

// The file's last-write time as a FILETIME (100 ns since 1601-01-01 UTC), a symbolic link's
// target's. Throws PackError.
uint64_t LastWriteTime(const std::filesystem::path& path);

// Sets the file's last-write time to exactly `filetime`. Throws PackError.
void SetLastWriteTime(const std::filesystem::path& path, uint64_t filetime);

// The same through the open file's own handle, after what the C library still buffers is written:
// a time set through another handle gives way, on Windows, to the time of this handle's last
// write when it closes. False on failure, with errno set.
bool SetOpenFileTime(std::FILE* file, uint64_t filetime);

// The path as UTF-8, for messages, and a path from UTF-8 (the command line's encoding).
std::string PathText(const std::filesystem::path& path);
std::filesystem::path PathFromText(const std::string& utf8);

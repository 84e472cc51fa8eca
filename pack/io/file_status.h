// What a path names, and whether two paths name one file.
#pragma once

#include <filesystem>
#include <string>

// What a path names, a symbolic link followed to its target.
enum class FileKind { kMissing, kFile, kFolder, kSpecial, kUnknown };
struct FileStatus {
  FileKind kind;
  std::string what;  // kSpecial: "a device", "a FIFO (named pipe)"...; kUnknown: the error
};
FileStatus StatusOf(const std::filesystem::path& path);

// Whether both paths name one existing file (hard and symbolic links followed).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

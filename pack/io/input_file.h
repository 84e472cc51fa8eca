// A file the pack tool reads: opened once, closed by its owner's destructor. Every failure throws
// PackError with the file's name and what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

class InputFile {
 public:
  // `role` names the file in messages ("the installer", "the stub"...).
  InputFile(const std::filesystem::path& path, const std::string& role);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  uint64_t Size() const { return size_; }
  const std::filesystem::path& Path() const { return path_; }
  std::string Name() const;  // role and path, for messages

  // Exactly `count` bytes at `offset`.
  void ReadAt(uint64_t offset, uint8_t* bytes, size_t count);
  std::vector<uint8_t> ReadAt(uint64_t offset, size_t count);
  // The next bytes from where the last read ended: up to `count`, fewer only at the end.
  size_t ReadNext(uint8_t* bytes, size_t count);

 private:
  friend class OutputFile;  // Append copies from the open file itself

  std::filesystem::path path_;
  std::string role_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
};

// A file the pack tool writes without ever leaving a half-written result: the bytes go to a
// temporary file beside the target, which replaces the target only when Commit() succeeds. Any
// other end (an error, an exception, an interrupt: RemoveOnInterrupt) removes the temporary file
// and leaves the target as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

class OutputFile {
 public:
  explicit OutputFile(const std::filesystem::path& target);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(const uint8_t* bytes, size_t count);
  void WriteZeros(uint64_t count);
  void WriteAt(uint64_t offset, const uint8_t* bytes, size_t count);  // over bytes already written

  // Closes the temporary file; the target is not touched yet. After this the temporary file can
  // be read back under TemporaryPath().
  void Close();
  const std::filesystem::path& TemporaryPath() const { return temporary_; }
  // Puts the written file in the target's place (closing it first if need be).
  void Commit();

 private:
  void Fail(const std::string& what);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
  int interruptGuard_ = -1;
};

// A file the pack tool writes without ever leaving a half-written result: the bytes go to a
// temporary file beside the target, which replaces the target only when Commit() succeeds. Any
// other end (an error, an exception, an interrupt: RemoveOnInterrupt) removes the temporary file
// and leaves the target as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

class InputFile;

class OutputFile {
 public:
  // `replace`: whether Commit() may replace a file that is under the target's name by then.
  explicit OutputFile(const std::filesystem::path& target, bool replace = true);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(const uint8_t* bytes, size_t count);
  void WriteZeros(uint64_t count);
  void WriteAt(uint64_t offset, const uint8_t* bytes, size_t count);  // over bytes already written

  // The bytes of a piece as they were written, in order, for a checksum over the output.
  using WrittenBytes = std::function<void(const uint8_t* bytes, size_t count)>;
  // Appends all of `input` and hands every byte of it, as written, to `written`. Throws
  // PackError, and when the input's size changed while it was read. On Linux the kernel copies
  // the bytes from file to file and `written` reads them back from the output's own pages
  // (output_file_append_linux.cpp); elsewhere, or where the kernel cannot copy between the two
  // files, they pass through one buffer that stays in the processor's cache (AppendInPieces).
  void Append(InputFile& input, const WrittenBytes& written);

  // Gives the temporary file its last-write time, once every byte is written and before Close()
  // flushes it to the disk, so that the flush carries the time too. Throws PackError.
  void SetTime(uint64_t filetime);

  // Closes the temporary file; the target is not touched yet. After this the temporary file can
  // be read back under TemporaryPath().
  void Close();
  const std::filesystem::path& TemporaryPath() const { return temporary_; }
  // Puts the written file in the target's place (closing it first if need be).
  void Commit();

 private:
  void Fail(const std::string& what);
  // Appends the input from `offset` on by reads and writes through one buffer; returns the bytes
  // appended.
  uint64_t AppendInPieces(InputFile& input, uint64_t offset, const WrittenBytes& written);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  bool replace_;
  bool committed_ = false;
  int interruptGuard_ = -1;
};

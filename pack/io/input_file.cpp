#include "pack/io/input_file.h"

#include <cerrno>
#include <cstring>

#include "pack/io/file_status.h"
#include "pack/io/open_file.h"
#include "pack/io/pack_error.h"
#include "pack/io/path_text.h"

InputFile::InputFile(const std::filesystem::path& path, const std::string& role)
    : path_(path), role_(role) {
  FileStatus status = StatusOf(path);
  if (status.kind == FileKind::kMissing) throw PackError("cannot find " + Name());
  if (status.kind == FileKind::kFolder)
    throw PackError("cannot read " + Name() + ": it is a folder, not a file");
  if (status.kind == FileKind::kSpecial)
    throw PackError("cannot read " + Name() + ": it is " + status.what +
                    ", not a regular file; the tool reads only files it can seek in");
  errno = 0;
  file_ = OpenFile(path, "rb");
  if (!file_)
    throw PackError("cannot open " + Name() +
                    (status.kind == FileKind::kUnknown ? ": " + status.what
                     : errno                           ? std::string(": ") + std::strerror(errno)
                                                       : ""));
  try {
    size_ = OpenFileSize(file_, Name());
  } catch (...) {
    std::fclose(file_);
    throw;
  }
}

InputFile::~InputFile() { std::fclose(file_); }

std::string InputFile::Name() const {
  return role_.empty() ? PathText(path_) : role_ + " " + PathText(path_);
}

void InputFile::ReadAt(uint64_t offset, uint8_t* bytes, size_t count) {
  if (!SeekFile(file_, offset) || std::fread(bytes, 1, count, file_) != count)
    throw PackError("cannot read " + Name() + " at offset " + std::to_string(offset) +
                    (std::ferror(file_) ? ": read error" : ": the file ended early"));
}

std::vector<uint8_t> InputFile::ReadAt(uint64_t offset, size_t count) {
  std::vector<uint8_t> bytes(count);
  ReadAt(offset, bytes.data(), count);
  return bytes;
}

size_t InputFile::ReadNext(uint8_t* bytes, size_t count) {
  size_t got = std::fread(bytes, 1, count, file_);
  if (got < count && std::ferror(file_)) throw PackError("cannot read " + Name() + ": read error");
  return got;
}

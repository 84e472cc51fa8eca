#include "pack/io/input_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "pack/io/file_system.h"
#include "pack/io/pack_error.h"

namespace {

std::string KindOfFile(std::filesystem::file_status status) {
  switch (status.type()) {
    case std::filesystem::file_type::fifo:
      return "a FIFO (named pipe)";
    case std::filesystem::file_type::socket:
      return "a socket";
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return "a device";
    default:
      return "a special file";
  }
}

}  // namespace

InputFile::InputFile(const std::filesystem::path& path, const std::string& role)
    : path_(path), role_(role) {
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) throw PackError("cannot find " + Name());
  if (std::filesystem::is_directory(status))
    throw PackError("cannot read " + Name() + ": it is a folder, not a file");
  if (!std::filesystem::is_regular_file(status))
    throw PackError("cannot read " + Name() + ": it is " + KindOfFile(status) +
                    ", not a regular file; the tool reads only files it can seek in");
  errno = 0;
  file_ = OpenFile(path, "rb");
  if (!file_)
    throw PackError("cannot open " + Name() +
                    (errno ? std::string(": ") + std::strerror(errno) : ""));
  size_ = std::filesystem::file_size(path, error);
  if (error) {
    std::fclose(file_);
    throw PackError("cannot read the size of " + Name() + ": " + error.message());
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

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pack/io/file_system.h"
#include "pack/io/pack_error.h"
#include "pack/text/iso_time.h"

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
  if (mode[0] != 'r') return std::fopen(path.c_str(), mode);
  // Opened without blocking and checked: a file replaced by a FIFO after the caller looked at it
  // must not hang the tool waiting for a writer.
  int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat info;
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(descriptor);
    errno = ESPIPE;
    return nullptr;
  }
  fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = fdopen(descriptor, mode);
  if (!file) close(descriptor);
  return file;
}

bool SeekFile(std::FILE* file, uint64_t offset) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

uint64_t LastWriteTime(const std::filesystem::path& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    throw PackError("cannot read the time of " + PathText(path) + ": " + std::strerror(errno));
  std::optional<uint64_t> time =
      FiletimeFromUnix(info.st_mtim.tv_sec, static_cast<uint32_t>(info.st_mtim.tv_nsec));
  if (!time) throw PackError(PathText(path) + " was last written before 1601; give its time");
  return *time;
}

void SetLastWriteTime(const std::filesystem::path& path, uint64_t filetime) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the access time stays as it is
  times[1].tv_sec = static_cast<time_t>(static_cast<int64_t>(filetime / kFiletimeTicksPerSecond) -
                                        kFiletimeUnixEpochSeconds);
  times[1].tv_nsec = static_cast<long>(filetime % kFiletimeTicksPerSecond * 100);
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    throw PackError("cannot set the time of " + PathText(path) + ": " + std::strerror(errno));
}

std::string PathText(const std::filesystem::path& path) { return path.string(); }

std::filesystem::path PathFromText(const std::string& utf8) { return std::filesystem::path(utf8); }

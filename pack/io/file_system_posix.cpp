// The pack tool's file operations on POSIX: what open_file.h, flush_to_disk.h, file_status.h,
// remove_file.h, create_folders.h, put_in_place.h, copy_zone_mark.h, file_time.h and path_text.h
// declare, in one file per platform (CMake chooses it), so the platform's calls sit together.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "pack/io/copy_zone_mark.h"
#include "pack/io/create_folders.h"
#include "pack/io/file_status.h"
#include "pack/io/file_time.h"
#include "pack/io/flush_to_disk.h"
#include "pack/io/open_file.h"
#include "pack/io/pack_error.h"
#include "pack/io/path_text.h"
#include "pack/io/put_in_place.h"
#include "pack/io/remove_file.h"
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

uint64_t OpenFileSize(std::FILE* file, const std::string& name) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0)
    throw PackError("cannot read the size of " + name + ": " + std::strerror(errno));
  return static_cast<uint64_t>(info.st_size);
}

bool FlushToDisk(std::FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

FileStatus StatusOf(const std::filesystem::path& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    return errno == ENOENT || errno == ENOTDIR
               ? FileStatus{FileKind::kMissing, ""}
               : FileStatus{FileKind::kUnknown, std::strerror(errno)};
  if (S_ISREG(info.st_mode)) return {FileKind::kFile, ""};
  if (S_ISDIR(info.st_mode)) return {FileKind::kFolder, ""};
  if (S_ISFIFO(info.st_mode)) return {FileKind::kSpecial, "a FIFO (named pipe)"};
  if (S_ISSOCK(info.st_mode)) return {FileKind::kSpecial, "a socket"};
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return {FileKind::kSpecial, "a device"};
  return {FileKind::kSpecial, "a special file"};
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string RemoveFile(const std::filesystem::path& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT ? std::string() : std::strerror(errno);
}

void CreateFolders(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error)
    throw PackError("cannot create the folder " + PathText(folder) + ": " + error.message());
}

void PutInPlace(const std::filesystem::path& written, const std::filesystem::path& target,
                bool replace) {
  if (!replace) {
    // Never over a file that appeared since the caller looked: where the file system cannot
    // rename without replacing, a new link fails on an existing name just the same.
    int renamed = renameat2(AT_FDCWD, written.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
      renamed = link(written.c_str(), target.c_str());
      if (renamed == 0) unlink(written.c_str());
    }
    if (renamed == 0) return;
    if (errno == EEXIST)
      throw PackError(PathText(target) + " appeared meanwhile; it is not replaced (--force "
                                         "replaces it)");
    throw PackError("cannot put the written file in place of " + PathText(target) + ": " +
                    std::strerror(errno));
  }
  if (std::rename(written.c_str(), target.c_str()) != 0)
    throw PackError("cannot put the written file in place of " + PathText(target) + ": " +
                    std::strerror(errno));
}

// A rename is an entry in the folder: only the folder's own flush makes it survive a power cut.
void FlushFolderOf(const std::filesystem::path& file) {
  std::filesystem::path folder = file.parent_path();
  int descriptor = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;  // a folder we may write in but not read: nothing to flush it by
  int synced = fsync(descriptor);
  int error = errno;
  close(descriptor);
  // Some file systems cannot flush a folder at all (EINVAL); their renames stand as they are.
  if (synced != 0 && error != EINVAL)
    throw PackError("wrote " + PathText(file) +
                    ", but its folder could not be flushed to the disk: " + std::strerror(error));
}

std::string CopyZoneMark(const std::filesystem::path&, const std::filesystem::path&) {
  return std::string();
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

namespace {

// The last-write time as utimensat and futimens take it, the access time left as it is.
void ModificationTimes(uint64_t filetime, struct timespec (&times)[2]) {
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(static_cast<int64_t>(filetime / kFiletimeTicksPerSecond) -
                                        kFiletimeUnixEpochSeconds);
  times[1].tv_nsec = static_cast<long>(filetime % kFiletimeTicksPerSecond * 100);
}

}  // namespace

void SetLastWriteTime(const std::filesystem::path& path, uint64_t filetime) {
  struct timespec times[2];
  ModificationTimes(filetime, times);
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    throw PackError("cannot set the time of " + PathText(path) + ": " + std::strerror(errno));
}

bool SetOpenFileTime(std::FILE* file, uint64_t filetime) {
  struct timespec times[2];
  ModificationTimes(filetime, times);
  return std::fflush(file) == 0 && futimens(fileno(file), times) == 0;
}

std::string PathText(const std::filesystem::path& path) { return path.string(); }

std::filesystem::path PathFromText(const std::string& utf8) { return std::filesystem::path(utf8); }

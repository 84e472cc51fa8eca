#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "pack/io/input_file.h"
#include "pack/io/output_file.h"
#include "pack/io/pack_error.h"

namespace {

// The kernel copies this much at a time, and the piece is then read back for the checksum. (Read
// back on a second thread while the next piece was copied, a 1 GiB build took longer, not less,
// on a busy two-processor machine.)
constexpr size_t kKernelPiece = 8 << 20;

// Errors with which the kernel refuses to copy between these two files at all (another file
// system, a file system without the call, a kernel without it): the bytes then pass through the
// tool.
bool KernelCannotCopy(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
         error == EBADF;
}

// Hands the `count` bytes written at `offset` of the output to `written`, read through a
// read-only view of the output's own pages, so the checksum is over exactly what was written;
// false when they cannot be read.
bool ReadBack(int view, uint64_t offset, size_t count, const OutputFile::WrittenBytes& written) {
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  uint64_t start = offset / page * page;
  size_t length = count + static_cast<size_t>(offset - start);
  void* mapped =
      mmap(nullptr, length, PROT_READ, MAP_SHARED | MAP_POPULATE, view, static_cast<off_t>(start));
  if (mapped != MAP_FAILED) {
    written(static_cast<const uint8_t*>(mapped) + (offset - start), count);
    munmap(mapped, length);
    return true;
  }
  std::vector<uint8_t> piece(std::min<size_t>(count, 128 << 10));
  while (count) {
    ssize_t got =
        pread(view, piece.data(), std::min(count, piece.size()), static_cast<off_t>(offset));
    if (got <= 0) return false;
    written(piece.data(), static_cast<size_t>(got));
    offset += static_cast<uint64_t>(got);
    count -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

void OutputFile::Append(InputFile& input, const WrittenBytes& written) {
  errno = 0;
  if (std::fflush(file_) != 0) Fail("write");
  int out = fileno(file_);
  int in = fileno(input.file_);
  off_t at = lseek(out, 0, SEEK_CUR);
  int view = at < 0 ? -1 : open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
  uint64_t size = input.Size();
  uint64_t copied = 0;
  bool ended = false;  // the input had fewer bytes than its size
  if (view >= 0) {
    int error = 0;
    bool readBack = true;
    while (readBack && copied < size) {
      loff_t from = static_cast<loff_t>(copied);
      size_t part = static_cast<size_t>(std::min<uint64_t>(kKernelPiece, size - copied));
      ssize_t got = copy_file_range(in, &from, out, nullptr, part, 0);
      if (got < 0) {
        if (!KernelCannotCopy(errno)) error = errno;
        break;
      }
      if (got == 0) {
        ended = true;
        break;
      }
      // The disk starts writing the piece now, while the next ones are copied and summed, rather
      // than all of them at the flush before the rename.
      sync_file_range(out, at + static_cast<off_t>(copied), got, SYNC_FILE_RANGE_WRITE);
      readBack =
          ReadBack(view, static_cast<uint64_t>(at) + copied, static_cast<size_t>(got), written);
      copied += static_cast<uint64_t>(got);
    }
    close(view);
    errno = error;
    if (error) Fail("write");
    if (!readBack) Fail("read back what was written to");
  }
  if (!ended && copied < size) {
    copied += AppendInPieces(input, copied, written);
  } else if (copied == size) {
    uint8_t beyond;
    if (pread(in, &beyond, 1, static_cast<off_t>(size)) > 0) copied = size + 1;  // it grew
  }
  if (copied != size)
    throw PackError(input.Name() + " changed while it was read; build again when it is complete");
}

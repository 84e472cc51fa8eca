#include "pack/io/output_file.h"

#include <cerrno>
#include <cstring>
#include <random>

#include "pack/io/file_status.h"
#include "pack/io/file_time.h"
#include "pack/io/flush_to_disk.h"
#include "pack/io/interrupt_cleanup.h"
#include "pack/io/open_file.h"
#include "pack/io/pack_error.h"
#include "pack/io/path_text.h"
#include "pack/io/put_in_place.h"
#include "pack/io/remove_file.h"

namespace {

std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
  std::random_device random;
  uint64_t tag = uint64_t{random()} << 32 ^ random();
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(tag));
  std::filesystem::path temporary = target;
  temporary += suffix;
  return temporary;
}

}  // namespace

OutputFile::OutputFile(const std::filesystem::path& target, bool replace)
    : target_(target), temporary_(TemporaryBeside(target)), replace_(replace) {
  if (StatusOf(target).kind == FileKind::kFolder)
    throw PackError("cannot write " + PathText(target) + ": it is a folder");
  interruptGuard_ = RemoveOnInterrupt(temporary_);
  errno = 0;
  file_ = OpenFile(temporary_, "wb");
  if (!file_) {
    ForgetOnInterrupt(interruptGuard_);
    throw PackError("cannot create a file beside " + PathText(target) +
                    (errno ? std::string(": ") + std::strerror(errno) : ""));
  }
}

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
  if (!committed_) RemoveFile(temporary_);
  ForgetOnInterrupt(interruptGuard_);
}

void OutputFile::Fail(const std::string& what) {
  throw PackError("cannot " + what + " " + PathText(target_) +
                  (errno ? std::string(": ") + std::strerror(errno) : ""));
}

void OutputFile::Write(const uint8_t* bytes, size_t count) {
  errno = 0;
  if (count && std::fwrite(bytes, 1, count, file_) != count) Fail("write");
}

void OutputFile::WriteZeros(uint64_t count) {
  static const uint8_t kZeros[4096] = {};
  while (count) {
    size_t part = count < sizeof kZeros ? static_cast<size_t>(count) : sizeof kZeros;
    Write(kZeros, part);
    count -= part;
  }
}

void OutputFile::WriteAt(uint64_t offset, const uint8_t* bytes, size_t count) {
  errno = 0;
  if (std::fflush(file_) != 0 || !SeekFile(file_, offset)) Fail("write");
  Write(bytes, count);
}

void OutputFile::SetTime(uint64_t filetime) {
  errno = 0;
  if (!SetOpenFileTime(file_, filetime)) Fail("set the time of");
}

void OutputFile::Close() {
  if (!file_) return;
  errno = 0;
  bool flushed = FlushToDisk(file_);
  int closed = std::fclose(file_);
  file_ = nullptr;
  if (!flushed || closed != 0) Fail("write");
}

void OutputFile::Commit() {
  Close();
  try {
    PutInPlace(temporary_, target_, replace_);
  } catch (const PackError& error) {
    // The target is as it was; the written file goes, or the message says where it stays.
    std::string left = RemoveFile(temporary_);
    committed_ = true;
    ForgetOnInterrupt(interruptGuard_);
    interruptGuard_ = -1;
    throw PackError(std::string(error.what()) + "; it is left as it was" +
                    (left.empty() ? std::string()
                                  : ", and the written file stays behind as " +
                                        PathText(temporary_) + " (" + left + "): delete it"));
  }
  committed_ = true;
  ForgetOnInterrupt(interruptGuard_);
  interruptGuard_ = -1;
  FlushFolderOf(target_);
}

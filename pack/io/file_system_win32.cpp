// The pack tool's file operations on Windows: what open_file.h, flush_to_disk.h, file_status.h,
// remove_file.h, create_folders.h, put_in_place.h, copy_zone_mark.h, file_time.h and path_text.h
// declare, in one file per platform (CMake chooses it), so the platform's calls sit together.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "launch/held_step.h"
#include "pack/io/copy_zone_mark.h"
#include "pack/io/create_folders.h"
#include "pack/io/file_status.h"
#include "pack/io/file_time.h"
#include "pack/io/flush_to_disk.h"
#include "pack/io/folder_chain.h"
#include "pack/io/held_file.h"
#include "pack/io/open_file.h"
#include "pack/io/pack_error.h"
#include "pack/io/path_text.h"
#include "pack/io/put_in_place.h"
#include "pack/io/remove_file.h"
#include "pack/io/zone_mark.h"
#include "pack/text/utf.h"

namespace {

// "Windows error 32: The process cannot access the file because it is being used by another
// process", in the user's language where Windows has the text.
std::string ErrorText(DWORD error) {
  std::string text = "Windows error " + std::to_string(error);
  wchar_t* message = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (length && message) {
    std::wstring wide(message, length);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L'.' ||
                             wide.back() == L' '))
      wide.pop_back();
    if (!wide.empty()) text += ": " + Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
  }
  LocalFree(message);
  return text;
}

std::string LastErrorText() { return ErrorText(GetLastError()); }

HANDLE HandleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

// A handle on the file itself for reading its attributes: a symbolic link is followed to its
// target, a folder can be opened too, and nobody else's use of the file is in the way.
HANDLE OpenForAttributes(const std::filesystem::path& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

// What explains an access denied on `path`, read at once after it. A file pending deletion reads
// no attributes at all; one there that may not be opened for deletion, or a missing one whose
// folder takes no new file, is denied by its rights.
InTheWay WhatIsInTheWay(const std::filesystem::path& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE probe = INVALID_HANDLE_VALUE;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_READONLY) return InTheWay::kReadOnly;
    probe = CreateFileW(path.c_str(), DELETE, share, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  } else if (IsMissing(GetLastError())) {
    std::filesystem::path folder = path.parent_path();
    probe =
        CreateFileW((folder.empty() ? std::filesystem::path(L".") : folder).c_str(), FILE_ADD_FILE,
                    share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  } else {
    return InTheWay::kMaybeHeld;
  }
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    return InTheWay::kMaybeHeld;
  }
  return GetLastError() == ERROR_ACCESS_DENIED ? InTheWay::kDenied : InTheWay::kMaybeHeld;
}

// Tries `attempt` (a call that returns a BOOL) until it succeeds or fails other than for another
// program's hold on `inTheWay` (TryAgainWhileHeld). The last error is left as the last attempt
// set it, and `what` tells what explained an access denied on `inTheWay` then. (The launcher's
// UntilNotHeld is another wait, with other rules for access denied.)
template <typename Attempt>
bool UntilLetGo(const std::filesystem::path& inTheWay, InTheWay& what, Attempt attempt) {
  ULONGLONG start = GetTickCount64();
  for (;;) {
    what = InTheWay::kMaybeHeld;
    if (attempt()) return true;
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) what = WhatIsInTheWay(inTheWay);
    if (!TryAgainWhileHeld(error, GetTickCount64() - start, what)) {
      SetLastError(error);
      return false;
    }
    Sleep(kHoldPauseMs);
  }
}

}  // namespace

// Opened with FILE_SHARE_DELETE, so that the console handler of interrupt_cleanup_win32.cpp can
// delete a temporary file the main thread still holds open.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
  bool writing = mode[0] == 'w';
  HANDLE handle =
      CreateFileW(path.c_str(), writing ? GENERIC_WRITE : GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_DELETE | (writing ? 0 : FILE_SHARE_WRITE), nullptr,
                  writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return nullptr;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {  // a device (NUL, CON, COM1...) or a pipe
    CloseHandle(handle);
    errno = ESPIPE;
    return nullptr;
  }
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                   _O_BINARY | (writing ? _O_WRONLY : _O_RDONLY));
  if (descriptor < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, mode);
  if (!file) _close(descriptor);
  return file;
}

bool SeekFile(std::FILE* file, uint64_t offset) {
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

uint64_t OpenFileSize(std::FILE* file, const std::string& name) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(HandleOf(file), &size))
    throw PackError("cannot read the size of " + name + ": " + LastErrorText());
  return static_cast<uint64_t>(size.QuadPart);
}

bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  if (FlushFileBuffers(HandleOf(file))) return true;
  errno = EIO;
  return false;
}

FileStatus StatusOf(const std::filesystem::path& path) {
  HANDLE file = OpenForAttributes(path, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (IsMissing(error)) return {FileKind::kMissing, ""};
    // A file opened by someone without any sharing still shows its attributes by name.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (error == ERROR_SHARING_VIOLATION &&
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
      return {
          data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::kFolder : FileKind::kFile,
          ""};
    return {FileKind::kUnknown, ErrorText(error)};
  }
  FileStatus status{FileKind::kFile, ""};
  DWORD type = GetFileType(file);
  BY_HANDLE_FILE_INFORMATION info;
  if (type == FILE_TYPE_PIPE) {
    status = {FileKind::kSpecial, "a pipe"};
  } else if (type != FILE_TYPE_DISK) {
    status = {FileKind::kSpecial, "a device"};
  } else if (!GetFileInformationByHandle(file, &info)) {
    status = {FileKind::kUnknown, LastErrorText()};
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    status = {FileKind::kFolder, ""};
  }
  CloseHandle(file);
  return status;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const std::filesystem::path* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    HANDLE file = OpenForAttributes(*paths[i], 0);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL read = GetFileInformationByHandle(file, &info[i]);
    CloseHandle(file);
    if (!read) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

std::string RemoveFile(const std::filesystem::path& path) {
  InTheWay what = InTheWay::kMaybeHeld;
  if (UntilLetGo(path, what, [&] { return DeleteFileW(path.c_str()); })) return std::string();
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND ? std::string() : ErrorText(error);
}

// The folder first, and the ones above it only as far as they are missing (CreateFolderChain), so
// that "\\?\C:\New" works as "C:\New" does.
void CreateFolders(const std::filesystem::path& folder) {
  std::string why;
  std::filesystem::path failed;
  FolderAttempt end = CreateFolderChain(
      folder,
      [&](const std::filesystem::path& path) {
        if (CreateDirectoryW(path.c_str(), nullptr)) return FolderAttempt::kMade;
        DWORD error = GetLastError();
        FolderRefusal refusal = error == ERROR_PATH_NOT_FOUND   ? FolderRefusal::kParentMissing
                                : error == ERROR_ALREADY_EXISTS ? FolderRefusal::kAlreadyExists
                                : error == ERROR_ACCESS_DENIED  ? FolderRefusal::kAccessDenied
                                                                : FolderRefusal::kOther;
        FileStatus status =
            refusal == FolderRefusal::kAlreadyExists || refusal == FolderRefusal::kAccessDenied
                ? StatusOf(path)
                : FileStatus{FileKind::kMissing, ""};
        FolderAttempt attempt = AttemptAfterRefusal(refusal, status.kind == FileKind::kFolder);
        if (attempt != FolderAttempt::kFailed) return attempt;
        why = refusal != FolderRefusal::kAlreadyExists ? ErrorText(error)
              : status.kind == FileKind::kUnknown      ? status.what
                                                       : "a file of that name is there";
        return attempt;
      },
      failed);
  if (end == FolderAttempt::kMade || end == FolderAttempt::kExists) return;
  if (end == FolderAttempt::kParentMissing) why = ErrorText(ERROR_PATH_NOT_FOUND);
  throw PackError("cannot create the folder " + PathText(failed) + ": " + why);
}

void PutInPlace(const std::filesystem::path& written, const std::filesystem::path& target,
                bool replace) {
  InTheWay what = InTheWay::kMaybeHeld;
  DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!UntilLetGo(target, what,
                  [&] { return MoveFileExW(written.c_str(), target.c_str(), flags); })) {
    DWORD error = GetLastError();
    if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
      throw PackError(PathText(target) + " appeared meanwhile; it is not replaced (--force "
                                         "replaces it)");
    throw PackError("cannot put the written file in place of " + PathText(target) + ": " +
                    ErrorText(error) + HoldNote(error, what));
  }
}

// The file's data was flushed before the rename (FlushToDisk). MOVEFILE_WRITE_THROUGH is
// documented to return once the file is moved on the disk, and to guarantee the flush for a move
// done as a copy and a delete, which a rename beside the target never is; what it makes of a
// rename's own entry is not said, and no call open to an unprivileged program is documented to
// flush it. NTFS logs the rename, so after a power cut the target is the old file or the new one,
// each whole.
void FlushFolderOf(const std::filesystem::path&) {}

// The mark's stream of `file`. From the file's absolute path: the stream of a file given as "x"
// would read as "x:Zone.Identifier", a path relative to drive X: ("Naming Files").
static std::wstring MarkStreamOf(const std::filesystem::path& file) {
  std::error_code ignored;
  std::filesystem::path absolute = std::filesystem::absolute(file, ignored);
  return (absolute.empty() ? file : absolute).native() + L":Zone.Identifier";
}

std::string CopyZoneMark(const std::filesystem::path& source, const std::filesystem::path& target) {
  std::wstring from = MarkStreamOf(source);
  HANDLE stream = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (stream == INVALID_HANDLE_VALUE) return std::string();  // not downloaded, or no streams
  std::vector<char> mark(64 * 1024);
  DWORD got = 0;
  BOOL read = ReadFile(stream, mark.data(), static_cast<DWORD>(mark.size()), &got, nullptr);
  CloseHandle(stream);
  if (!read) return std::string();
  HANDLE file = OpenForAttributes(target, FILE_READ_ATTRIBUTES);
  DWORD flags = 0;
  bool answered =
      file != INVALID_HANDLE_VALUE &&
      GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  MarkWrite how = MarkWriteFor(answered, (flags & FILE_NAMED_STREAMS) != 0);
  if (how == MarkWrite::kSkip) return std::string();
  // Flushed before it is closed, so that the rename after it cannot outlive the mark.
  std::wstring to = MarkStreamOf(target);
  stream = CreateFileW(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  BOOL wrote = stream != INVALID_HANDLE_VALUE &&
               WriteFile(stream, mark.data(), got, &written, nullptr) && written == got &&
               FlushFileBuffers(stream);
  std::string error = wrote ? std::string() : LastErrorText();
  if (stream != INVALID_HANDLE_VALUE) CloseHandle(stream);
  if (wrote) return std::string();
  std::string what = "the mark of the web (Zone.Identifier) of " + PathText(source) + " onto " +
                     PathText(target) + ": " + error;
  if (how == MarkWrite::kWrite) throw PackError("cannot carry " + what);
  if (stream != INVALID_HANDLE_VALUE) DeleteFileW(to.c_str());  // no stray file of that name
  return "could not carry " + what +
         "; the volume did not say whether it holds named streams, "
         "and the file there has no mark";
}

uint64_t LastWriteTime(const std::filesystem::path& path) {
  HANDLE file = OpenForAttributes(path, FILE_READ_ATTRIBUTES);
  if (file == INVALID_HANDLE_VALUE)
    throw PackError("cannot read the time of " + PathText(path) + ": " + LastErrorText());
  FILETIME time;
  BOOL read = GetFileTime(file, nullptr, nullptr, &time);
  std::string error = read ? std::string() : LastErrorText();
  CloseHandle(file);
  if (!read) throw PackError("cannot read the time of " + PathText(path) + ": " + error);
  return uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

// Shares reading, writing and deletion, as every other handle of the tool on its outputs does, so
// that it never stands in the way of a scanner or of the interrupt's clean-up. (An open for the
// attributes alone is not checked against other handles' sharing at all, under Wine as the
// share-access rules of Windows have it; the sharing says what the handle allows all the same.)
void SetLastWriteTime(const std::filesystem::path& path, uint64_t filetime) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw PackError("cannot set the time of " + PathText(path) + ": " + LastErrorText());
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(filetime);
  time.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
  BOOL set = SetFileTime(file, nullptr, nullptr, &time);
  std::string error = set ? std::string() : LastErrorText();
  CloseHandle(file);
  if (!set) throw PackError("cannot set the time of " + PathText(path) + ": " + error);
}

bool SetOpenFileTime(std::FILE* file, uint64_t filetime) {
  if (std::fflush(file) != 0) return false;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(filetime);
  time.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
  if (SetFileTime(HandleOf(file), nullptr, nullptr, &time)) return true;
  errno = EIO;
  return false;
}

std::string PathText(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::filesystem::path PathFromText(const std::string& utf8) {
  std::optional<std::u16string> wide = Utf8ToUtf16(utf8);
  if (!wide) throw PackError("a path that is not valid UTF-8");
  return std::filesystem::path(std::wstring(wide->begin(), wide->end()));
}

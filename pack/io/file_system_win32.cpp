#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "pack/io/file_system.h"
#include "pack/io/pack_error.h"
#include "pack/text/utf.h"

namespace {

std::string LastErrorText() { return "Windows error " + std::to_string(GetLastError()); }

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
  if (!writing && GetFileType(handle) != FILE_TYPE_DISK) {
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

uint64_t LastWriteTime(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
    throw PackError("cannot read the time of " + PathText(path) + ": " + LastErrorText());
  return uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 | data.ftLastWriteTime.dwLowDateTime;
}

void SetLastWriteTime(const std::filesystem::path& path, uint64_t filetime) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
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

std::string PathText(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::filesystem::path PathFromText(const std::string& utf8) {
  std::optional<std::u16string> wide = Utf8ToUtf16(utf8);
  if (!wide) throw PackError("a path that is not valid UTF-8");
  return std::filesystem::path(std::wstring(wide->begin(), wide->end()));
}

#include <windows.h>

#include <cstring>

#include "pack/file_system.h"
#include "pack/pack_error.h"
#include "pack/utf.h"

namespace {

std::string LastErrorText() { return "Windows error " + std::to_string(GetLastError()); }

}  // namespace

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
  std::wstring wideMode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
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

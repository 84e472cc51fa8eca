#include "tests/support/sparse_file_win32.h"

#include <windows.h>

static bool WriteAt(HANDLE file, uint64_t offset, const std::vector<uint8_t>& bytes) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  DWORD written = 0;
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
         (bytes.empty() ||
          (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size()));
}

// NTFS keeps a hole only in a file marked sparse; it fills the extension of any other file with
// zeros, on disk. A volume that keeps no sparse files (FAT32) gets the zeros, as it must.
static bool MarkSparseWhereTheVolumeCan(HANDLE file) {
  DWORD flags = 0;
  if (!GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
      !(flags & FILE_SUPPORTS_SPARSE_FILES)) {
    return true;
  }
  FILE_SET_SPARSE_BUFFER sparse = {TRUE};
  DWORD returned = 0;
  return DeviceIoControl(file, FSCTL_SET_SPARSE, &sparse, sizeof sparse, nullptr, 0, &returned,
                         nullptr) != 0;
}

bool WriteSparseFile(const std::wstring& path, const std::vector<uint8_t>& bytes, uint64_t length,
                     const std::vector<uint8_t>& tail) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(length);
  bool ok = MarkSparseWhereTheVolumeCan(file) && WriteAt(file, 0, bytes) &&
            SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
            WriteAt(file, length - tail.size(), tail);
  CloseHandle(file);
  return ok;
}

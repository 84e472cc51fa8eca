#include "launch/file_mark_win32.h"

#include <cstring>

#include "launch/kernel_function_win32.h"

using GetFileInformationByHandleExProc = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                                       DWORD);

// Reads through GetFileInformationByHandleEx, looked up at run time (Windows Vista and later);
// false where the system lacks it or refuses the class.
static bool ReadInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* into, DWORD size) {
  auto getInformation = reinterpret_cast<GetFileInformationByHandleExProc>(
      KernelFunction("GetFileInformationByHandleEx"));
  return getInformation && getInformation(file, kind, into, size);
}

FileIdentity IdentityOf(HANDLE file) {
  FileIdentity identity = {};
  // The 64-bit index need not be unique on ReFS; the 128-bit id with the volume's 64-bit serial
  // is ("BY_HANDLE_FILE_INFORMATION", "FILE_ID_INFO"). Systems before Windows 8 refuse the class.
  FILE_ID_INFO id;
  if (ReadInformation(file, FileIdInfo, &id, sizeof(id))) {
    identity.volumeSerial = id.VolumeSerialNumber;
    std::memcpy(&identity.idLow, id.FileId.Identifier, 8);
    std::memcpy(&identity.idHigh, id.FileId.Identifier + 8, 8);
    return identity;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info)) {
    identity.volumeSerial = info.dwVolumeSerialNumber;
    identity.idLow = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  }
  return identity;
}

HeldFileMark MarkOf(HANDLE file) {
  HeldFileMark mark = {IdentityOf(file), 0};
  // Without the function the identity alone tells.
  FILE_BASIC_INFO basic;
  if (ReadInformation(file, FileBasicInfo, &basic, sizeof(basic))) {
    mark.changed = static_cast<uint64_t>(basic.ChangeTime.QuadPart);
  }
  return mark;
}

#include "launch/file_mark_win32.h"

#include "launch/kernel_function_win32.h"

using GetFileInformationByHandleExProc = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                                       DWORD);

HeldFileMark MarkOf(HANDLE file) {
  HeldFileMark mark = {};
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info)) mark.identity = IdentityOf(info);
  // Looked up at run time (Windows Vista and later); without it the identity alone tells.
  auto getInformation = reinterpret_cast<GetFileInformationByHandleExProc>(
      KernelFunction("GetFileInformationByHandleEx"));
  FILE_BASIC_INFO basic;
  if (getInformation && getInformation(file, FileBasicInfo, &basic, sizeof(basic))) {
    mark.changed = static_cast<uint64_t>(basic.ChangeTime.QuadPart);
  }
  return mark;
}

#include "launch/image_file_win32.h"

#include "launch/file_mark_win32.h"
#include "launch/image_file.h"
#include "launch/kernel_function_win32.h"
#include "launch/long_path.h"
#include "launch/win32_text.h"

// The start of the running image, where the loader mapped its headers (the linker's symbol).
extern "C" BYTE __ImageBase[];

using GetMappedFileNameWProc = DWORD(WINAPI*)(HANDLE, LPVOID, LPWSTR, DWORD);

// Opens the file the image was mapped from under its current name and reads its identity.
static ImageFileLookup LookUpImageFile(FileIdentity& identity) {
  auto getMappedFileName =
      reinterpret_cast<GetMappedFileNameWProc>(KernelFunction("K32GetMappedFileNameW"));
  if (!getMappedFileName) return ImageFileLookup::kUnavailable;
  wchar_t name[kLongPathBuffer];
  DWORD length = getMappedFileName(GetCurrentProcess(), __ImageBase, name, kLongPathBuffer - 1);
  // A name that fills the buffer may have been cut short.
  if (length == 0 || length >= kLongPathBuffer - 1) return ImageFileLookup::kUnavailable;
  WideString path = OpenableImagePath(AsUnits(name), length);
  if (path.Empty()) return ImageFileLookup::kUnavailable;

  HANDLE image = CreateFileW(AsWide(path), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  if (image == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_ACCESS_DENIED ? ImageFileLookup::kDenied
                                                 : ImageFileLookup::kUnavailable;
  }
  // An identity that could not be read is all 0, which ReadsOwnImage takes as "cannot tell".
  identity = IdentityOf(image);
  CloseHandle(image);
  return ImageFileLookup::kFound;
}

bool IsOwnImageFile(HANDLE file) {
  FileIdentity image = {};
  ImageFileLookup lookup = LookUpImageFile(image);
  return ReadsOwnImage(lookup, IdentityOf(file), image);
}

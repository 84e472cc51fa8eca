#include "launch/locate_payload_win32.h"

#include "launch/image_file_win32.h"
#include "launch/messages.h"
#include "launch/payload_state.h"
#include "launch/show_error_win32.h"
#include "launch/tail_window.h"
#include "launch/win32_text.h"

// The start of the running image, where the loader mapped its headers (the linker's symbol).
extern "C" BYTE __ImageBase[];

// The file offset of the certificate table, as the image's own headers in memory name it; 0 when
// they name none. No read of the file: these are the headers the signature was checked against.
static uint32_t CertificateTableOffset() {
  LONG peHeader = reinterpret_cast<const IMAGE_DOS_HEADER*>(__ImageBase)->e_lfanew;
  const IMAGE_NT_HEADERS64* headers =
      reinterpret_cast<const IMAGE_NT_HEADERS64*>(__ImageBase + peHeader);
  const IMAGE_OPTIONAL_HEADER64& optional = headers->OptionalHeader;
  if (optional.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_SECURITY) return 0;
  return optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].VirtualAddress;
}

// The file's length as the signed 32-bit value the window rule takes, or -1 when the size is
// unknown or 2 GiB or more: such files are outside the format and are refused like a file
// without a trailer, instead of searching a window computed from a truncated length.
static int32_t LauncherFileLength(HANDLE file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart > kLargestLauncherFile) return -1;
  return static_cast<int32_t>(size.QuadPart);
}

// Shows `message`, closes `file` and fails the search.
static HANDLE Refuse(const LauncherMessage& message, HANDLE file, uint32_t& failure) {
  failure = ShowError(message);
  CloseHandle(file);
  return INVALID_HANDLE_VALUE;
}

HANDLE LocatePayload(const WideString& ownPath, uint8_t (&tail)[kTailWindowSize],
                     uint32_t& failure) {
  HANDLE file = CreateFileW(AsWide(ownPath), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    failure = ShowError(kInstallFileNotOpened);
    return INVALID_HANDLE_VALUE;
  }
  // The path may name another file than the one that was started (and whose signature was
  // checked): the file was renamed and another one put in its place before the open. Now that
  // it is open without delete sharing, it can no longer be renamed.
  if (!IsOwnImageFile(file)) return Refuse(kInstallFileNotOpened, file, failure);

  int32_t length = LauncherFileLength(file);
  if (length < 0) return Refuse(kNoAnchor, file, failure);
  int32_t windowStart = WindowStart(length);

  // A failed or short read only shrinks what is searched; a short read that still holds the
  // whole trailer is good enough.
  LARGE_INTEGER position;
  position.QuadPart = windowStart;
  SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
  DWORD n = 0;
  if (!ReadFile(file, tail, static_cast<DWORD>(length - windowStart), &n, nullptr)) n = 0;

  int32_t searched =
      SearchedLength(static_cast<int32_t>(n), windowStart, length, CertificateTableOffset());
  int32_t found = ScanTail(tail, searched, windowStart, LoadedNames, LoadedAnchor);
  if (found < 0) return Refuse(kNoAnchor, file, failure);
  return file;
}

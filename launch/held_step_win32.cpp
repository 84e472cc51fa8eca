#include "launch/held_step_win32.h"

#include "launch/win32_text.h"

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
                  kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
                  kErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
                  kErrorLockViolation == ERROR_LOCK_VIOLATION &&
                  kErrorDirNotEmpty == ERROR_DIR_NOT_EMPTY,
              "the Windows error codes the held-file decisions tell apart");

static uint32_t TickCount() { return GetTickCount(); }
static void Pause(uint32_t ms) { Sleep(ms); }

const HoldClock kSystemClock = {TickCount, Pause};

HANDLE OpenWhenNotHeld(const WideString& path, DWORD access, DWORD share, DWORD disposition,
                       HoldWait& wait) {
  HANDLE file = INVALID_HANDLE_VALUE;
  UntilNotHeld(wait, [&] {
    file = CreateFileW(AsWide(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    DWORD error = GetLastError();
    bool opened = file != INVALID_HANDLE_VALUE;
    return OutcomeOfOpen(
        opened, error,
        !opened && error == ERROR_ACCESS_DENIED ? NameLeftAt(path) : NameLeft::kReadable);
  });
  return file;
}

NameLeft NameLeftAt(const WideString& path) {
  if (GetFileAttributesW(AsWide(path)) != INVALID_FILE_ATTRIBUTES) return NameLeft::kReadable;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NameLeft::kGone
                                                                        : NameLeft::kUnreadable;
}

void ClearAttributes(const WideString& path) {
  SetFileAttributesW(AsWide(path), FILE_ATTRIBUTE_NORMAL);
}

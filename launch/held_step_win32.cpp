#include "launch/held_step_win32.h"

#include "launch/win32_text.h"

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
                  kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
                  kErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
                  kErrorLockViolation == ERROR_LOCK_VIOLATION,
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
    return OutcomeOfOpen(file != INVALID_HANDLE_VALUE, GetLastError());
  });
  return file;
}

void ClearAttributes(const WideString& path) {
  SetFileAttributesW(AsWide(path), FILE_ATTRIBUTE_NORMAL);
}

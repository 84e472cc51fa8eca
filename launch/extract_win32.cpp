#include "launch/extract_win32.h"

#include "launch/exit_codes.h"
#include "launch/held_step_win32.h"
#include "launch/messages.h"
#include "launch/show_error_win32.h"
#include "launch/win32_text.h"

static constexpr DWORD kTransferSize = 1048576;

// The piece-by-piece copy into an open target; shows its own message on failure.
static uint32_t CopyPieces(HANDLE source, HANDLE target, uint32_t size, uint8_t* buffer) {
  uint32_t remaining = size;
  while (remaining != 0) {
    DWORD chunk = remaining < kTransferSize ? remaining : kTransferSize;
    DWORD got = 0;
    if (!ReadFile(source, buffer, chunk, &got, nullptr) || got < chunk) {
      return ShowError(kInstallFileNotRead);
    }
    DWORD put = 0;
    if (!WriteFile(target, buffer, chunk, &put, nullptr) || put < chunk) {
      return ShowError(kTempFileNotWritten);
    }
    remaining -= chunk;
  }
  return kStepSucceeded;
}

uint32_t ExtractEmbeddedFile(HANDLE source, uint32_t offset, uint32_t size, uint64_t lastWriteTime,
                             const WideString& targetPath, HoldWait& wait) {
  // The transfer buffer has pages of its own, returned to the system as soon as the copy is done.
  // Without it nothing can be copied; the run stops with the read message before any file is
  // created, rather than crashing on a null buffer.
  uint8_t* buffer = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, kTransferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!buffer) return ShowError(kInstallFileNotRead);

  // A file of that name left in the folder, which has passed its owner check, is replaced like any
  // other, also when it was left read-only, hidden or system: Windows refuses to overwrite such a
  // file (access denied) until those attributes are cleared. It may be held for a moment by a
  // scanner.
  ClearAttributes(targetPath);
  HANDLE target = OpenWhenNotHeld(targetPath, GENERIC_WRITE, 0, CREATE_ALWAYS, wait);
  if (target == INVALID_HANDLE_VALUE) {
    VirtualFree(buffer, 0, MEM_RELEASE);
    return ShowError(CreationMessage(targetPath));
  }

  LARGE_INTEGER position;
  position.QuadPart = offset;  // widened without sign
  SetFilePointerEx(source, position, nullptr, FILE_BEGIN);
  uint32_t failure = CopyPieces(source, target, size, buffer);
  VirtualFree(buffer, 0, MEM_RELEASE);
  if (failure == kStepSucceeded) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(lastWriteTime);
    time.dwHighDateTime = static_cast<DWORD>(lastWriteTime >> 32);
    SetFileTime(target, nullptr, nullptr, &time);
  }
  CloseHandle(target);
  return failure;
}

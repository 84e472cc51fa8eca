#include <windows.h>

#include <atomic>
#include <cwchar>

#include "pack/io/interrupt_cleanup.h"

namespace {

// The console runs the handler on a thread of its own while the main thread may be writing; the
// files are opened with FILE_SHARE_DELETE (OpenFile), so deleting them here succeeds and the
// system removes them when the process ends.
constexpr int kGuards = 4;  // extract writes two files at once, build one
constexpr size_t kPathUnits = 32768;
wchar_t guardedPaths[kGuards][kPathUnits];
std::atomic<bool> guarded[kGuards];
bool handlerSet = false;

BOOL WINAPI RemoveAndEnd(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  for (int i = 0; i < kGuards; ++i)
    if (guarded[i]) DeleteFileW(guardedPaths[i]);
  return FALSE;  // the default handler ends the process, as the interrupt would have
}

}  // namespace

int RemoveOnInterrupt(const std::filesystem::path& temporary) {
  if (!handlerSet) handlerSet = SetConsoleCtrlHandler(RemoveAndEnd, TRUE) != 0;
  const std::wstring& path = temporary.native();
  if (path.size() >= kPathUnits) return -1;
  for (int i = 0; i < kGuards; ++i) {
    if (guarded[i]) continue;
    std::wmemcpy(guardedPaths[i], path.c_str(), path.size() + 1);
    guarded[i] = true;
    return i;
  }
  return -1;
}

void ForgetOnInterrupt(int guard) {
  if (guard >= 0 && guard < kGuards) guarded[guard] = false;
}

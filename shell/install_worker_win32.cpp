#include "shell/install_worker_win32.h"

#include "launch/run_install_win32.h"
#include "shell/launcher_window_win32.h"

enum WorkerState : LONG { kNotStarted, kRunning, kFinished };
static volatile LONG State = kNotStarted;

static DWORD WINAPI InstallWorker(LPVOID argument) {
  HWND window = *static_cast<HWND*>(argument);
  RunInstall();
  InterlockedExchange(&State, kFinished);
  PostMessageW(window, WM_APP_INSTALL_DONE, 0, 0);
  return 0;
}

bool StartInstallWorker(HWND* window) {
  if (InterlockedCompareExchange(&State, kRunning, kNotStarted) != kNotStarted) return true;
  HANDLE thread = CreateThread(nullptr, 0, InstallWorker, window, 0, nullptr);
  if (!thread) {
    InterlockedExchange(&State, kFinished);
    return false;
  }
  CloseHandle(thread);  // detached: nobody waits for it
  return true;
}

bool InstallWorkerRunning() { return State == kRunning; }

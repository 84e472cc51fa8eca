#include "shell/install_worker_win32.h"

#include "launch/exit_codes_win32.h"
#include "launch/run_install_win32.h"
#include "shell/app_messages.h"

enum WorkerState : LONG { kNotStarted, kRunning, kFinished, kNotStartable };
static volatile LONG State = kNotStarted;
// The run's exit code, written by the worker before it sets kFinished.
static volatile LONG RunResult = 0;

static DWORD WINAPI InstallWorker(LPVOID argument) {
  HWND window = *static_cast<HWND*>(argument);
  uint32_t exitCode = RunInstall();
  InterlockedExchange(&RunResult, static_cast<LONG>(exitCode));
  InterlockedExchange(&State, kFinished);
  PostMessageW(window, WM_APP_INSTALL_DONE, 0, 0);
  return 0;
}

bool StartInstallWorker(HWND* window) {
  if (InterlockedCompareExchange(&State, kRunning, kNotStarted) != kNotStarted) return true;
  HANDLE thread = CreateThread(nullptr, 0, InstallWorker, window, 0, nullptr);
  if (!thread) {
    InterlockedExchange(&State, kNotStartable);
    return false;
  }
  CloseHandle(thread);  // detached: nobody waits for it
  return true;
}

bool InstallWorkerRunning() { return State == kRunning; }

uint32_t LauncherExitCode() {
  switch (State) {
    case kFinished:
      return static_cast<uint32_t>(RunResult);
    case kNotStartable:
      return kExitWorkerNotStarted;
    default:
      return kExitWindowDestroyed;
  }
}

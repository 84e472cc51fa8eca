// The launcher's entry point: load the two strings, create the hidden window, hand the install
// to the worker and pump messages until the window is gone.
#include <windows.h>

#include "launch/exit_codes_win32.h"
#include "launch/kernel_function_win32.h"
#include "resources/resource_ids.h"
#include "shell/install_worker_win32.h"
#include "shell/launcher_window_win32.h"

// A launcher is typically started from a Downloads folder, where anyone may have left a DLL named
// like a system one. Only the system directory is searched for DLLs loaded after start-up.
// SetDefaultDllDirectories is looked up at run time: the image also runs on systems without it,
// where SetDllDirectoryW("") at least takes the current directory out of the search.
static void RestrictDllSearchToSystem() {
  using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
  auto setDefault =
      reinterpret_cast<SetDefaultDllDirectoriesProc>(KernelFunction("SetDefaultDllDirectories"));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryW(L"");
}

// Returns the exit code the quit message carries (the window procedure posts it on WM_DESTROY).
static int RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

// The window can be destroyed from outside (WM_CLOSE or the exit command) while the worker still
// runs. The process then ends at once through TerminateProcess: ExitProcess would stop the worker
// wherever it stands and then run the DLLs' detach code, which can hang on a lock the worker held.
static void EndWithoutCleanUpIfWorkerRuns(int exitCode) {
  if (InstallWorkerRunning()) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  RestrictDllSearchToSystem();
  LoadStringW(instance, IDS_WINDOW_TITLE, WindowTitle, 100);
  LoadStringW(instance, IDS_WINDOW_CLASS, WindowClassName, 100);
  RegisterLauncherClass(instance);
  MainWindow = CreateWindowExW(0, WindowClassName, WindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (!MainWindow) return static_cast<int>(kExitWindowNotCreated);
  PostMessageW(MainWindow, WM_APP_BEGIN_INSTALL, 0, 0);
  int exitCode = RunMessageLoop();
  EndWithoutCleanUpIfWorkerRuns(exitCode);
  return exitCode;
}

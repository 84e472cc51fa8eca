// The ceiling for the launcher's start: what any launcher must do to start an installer, and
// nothing else. It makes a hidden window, starts the already extracted installer named on its
// command line with ShellExecuteExW exactly as the launcher starts its own (the same mask, the
// installer's folder as working directory, no parameters, SW_SHOW), waits for it and ends with
// its exit code. bench/run compares the launcher's time to its installer's creation with this
// program's; the difference is the launcher's own work (its worker, the trailer, the folder with
// its access list, the two files written and held, the own-file check).
//
//   bare-starter <installer path>
#include <windows.h>
// after windows.h, which it builds on
#include <shellapi.h>

#include "bench/hidden_window_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count != 2) return 2;
  HWND window = MakeHiddenWindow(instance, L"VOSSIMERE_BARE_STARTER", DefWindowProcW);
  if (!window) return 1;

  wchar_t folder[MAX_PATH];
  lstrcpynW(folder, arguments[1], MAX_PATH);
  int end = lstrlenW(folder);
  while (end > 0 && folder[end] != L'\\') --end;
  folder[end] = 0;  // the folder without its closing backslash, as the launcher passes it
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpFile = arguments[1];
  info.lpDirectory = folder;
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info) || !info.hProcess) return 1;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(info.hProcess, &exitCode);
  CloseHandle(info.hProcess);
  DestroyWindow(window);
  LocalFree(arguments);
  return static_cast<int>(exitCode);
}

// A bare GUI program for the memory comparison: a hidden window and its message loop, nothing
// else. It tells the driver when its window exists and ends when the driver lets it go.
#include <windows.h>

#include "bench/bench_protocol.h"
#include "bench/hidden_window_win32.h"

static LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

static HANDLE OpenNamedEvent(const wchar_t* variable, DWORD access) {
  wchar_t name[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(variable, name, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return OpenEventW(access, FALSE, name);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  HWND window = MakeHiddenWindow(instance, L"VOSSIMERE_BARE", BareWindowProc);
  if (!window) return 1;

  HANDLE release = OpenNamedEvent(kReleaseEventVariable, SYNCHRONIZE);
  HANDLE ready = OpenNamedEvent(kStartedEventVariable, EVENT_MODIFY_STATE);
  if (ready) {
    SetEvent(ready);
    CloseHandle(ready);
  }
  // Pump messages until released (or at once when nobody holds it), then end like the launcher:
  // destroy the window and leave the loop on WM_QUIT.
  DWORD waited = 0;
  while (release && waited < kReleaseWaitLimitMs &&
         MsgWaitForMultipleObjects(1, &release, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    waited += 100;
  }
  if (release) CloseHandle(release);
  DestroyWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
  return 0;
}

#include "shell/launcher_window_win32.h"

#include "resources/resource_ids.h"
#include "shell/install_worker_win32.h"

wchar_t WindowTitle[100];
wchar_t WindowClassName[100];
HWND MainWindow;

void RegisterLauncherClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = LauncherWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
  windowClass.lpszClassName = WindowClassName;
  windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
  RegisterClassExW(&windowClass);
}

LRESULT CALLBACK LauncherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      // The quit message carries the launcher's exit code to the end of the loop.
      PostQuitMessage(static_cast<int>(LauncherExitCode()));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) != IDM_EXIT) break;
      DestroyWindow(window);
      return 0;
    case WM_APP_BEGIN_INSTALL:
      // A worker that cannot start would never post WM_APP_INSTALL_DONE; end the process
      // instead of leaving it waiting forever.
      if (!StartInstallWorker(&MainWindow)) DestroyWindow(window);
      return 0;
    case WM_APP_INSTALL_DONE:
      DestroyWindow(window);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

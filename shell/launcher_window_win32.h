// The hidden window that carries the message loop while the worker runs the install.
#pragma once

#include <windows.h>

constexpr UINT WM_APP_BEGIN_INSTALL = WM_APP + 100;  // posted once by the main thread
constexpr UINT WM_APP_INSTALL_DONE = WM_APP + 101;   // posted by the worker when the run is over

extern wchar_t WindowTitle[100];
extern wchar_t WindowClassName[100];
extern HWND MainWindow;

void RegisterLauncherClass(HINSTANCE instance);
LRESULT CALLBACK LauncherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The hidden window a bare program makes, as the launcher makes its own: a class of its own and
// a top-level window that is never shown.
#pragma once

#include <windows.h>

inline HWND MakeHiddenWindow(HINSTANCE instance, const wchar_t* className, WNDPROC procedure) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);
  return CreateWindowExW(0, className, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                         nullptr, nullptr, instance, nullptr);
}

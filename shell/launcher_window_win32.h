// The hidden window that carries the message loop while the worker runs the install.
#pragma once

#include <windows.h>

#include "shell/app_messages.h"

extern wchar_t WindowTitle[100];
extern wchar_t WindowClassName[100];
extern HWND MainWindow;

void RegisterLauncherClass(HINSTANCE instance);
LRESULT CALLBACK LauncherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

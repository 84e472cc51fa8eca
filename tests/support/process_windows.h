// The top-level windows of another process, and their class names and texts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

std::vector<HWND> TopLevelWindowsOf(DWORD processId);

std::wstring ClassNameOf(HWND window);

// The window's text through WM_GETTEXT, which reaches controls of other processes too. A window
// that does not answer within a second reads as empty.
std::wstring TextOf(HWND window);

// The launcher's hidden window: the top-level window of that process with the class "VOSSIMERE";
// NULL when there is none.
HWND FindLauncherWindow(DWORD processId);

// The launcher's two private window messages (both with wParam 0 and lParam 0).
#pragma once

#include <windows.h>

constexpr UINT WM_APP_BEGIN_INSTALL = WM_APP + 100;  // posted once by the main thread
constexpr UINT WM_APP_INSTALL_DONE = WM_APP + 101;   // posted by the worker when the run is over

// The smallest useful GUI program: one message box. Built with the launcher's compiler and flags,
// without a C runtime and entered the same way, it shows what the tool chain alone puts into an
// image.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MessageBoxW(nullptr, L"Vossimere", L"Vossimere", MB_OK | MB_ICONERROR);
  return 0;
}

extern "C" [[noreturn]] void LauncherStart() {
  ExitProcess(
      static_cast<UINT>(wWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWDEFAULT)));
}

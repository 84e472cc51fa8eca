// The launcher's start-up code. The image carries no C runtime, so the system enters the program
// here: this builds the process-wide state, runs wWinMain and ends the process with its result.
// There are no static constructors to run and no destructors to run at exit.
#include <windows.h>

#include "launch/payload_state.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int);

// wWinMain uses only its instance handle; what else the launcher needs of its command line or
// start-up information it asks the system for where it is used.
extern "C" [[noreturn]] void LauncherStart() {
  StartPayloadState();
  wchar_t noArguments[] = L"";
  ExitProcess(
      static_cast<UINT>(wWinMain(GetModuleHandleW(nullptr), nullptr, noArguments, SW_SHOWDEFAULT)));
}

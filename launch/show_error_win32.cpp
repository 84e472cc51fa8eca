#include "launch/show_error_win32.h"

#include "launch/box_visibility.h"
#include "launch/payload_state.h"
#include "launch/win32_text.h"

static_assert(WSF_VISIBLE == kVisibleStationFlag, "the visible-station flag");

// Session 0 is isolated from Windows Vista (6.0) on. GetVersion reports at least 6.2 on later
// systems without a manifest that names them, which decides the same.
static bool InSessionZeroOfServices() {
  DWORD session = 0;
  bool known = ProcessIdToSessionId(GetCurrentProcessId(), &session);
  return InIsolatedSessionZero(known, session, LOBYTE(LOWORD(GetVersion())));
}

// A run shows at most one box, so the station and the session are asked when that box is due.
static bool BoxCanBeSeen() {
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  bool known = GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                         sizeof(flags), &needed);
  return ErrorBoxCanBeSeen(known, flags.dwFlags, InSessionZeroOfServices());
}

static uint32_t Report(const char16_t* text, uint32_t exitCode) {
  if (BoxCanBeSeen()) {
    MessageBoxW(nullptr, AsWide(text), AsWide(MessageCaption(LoadedNames.title)),
                MB_OK | MB_ICONERROR);
  }
  return exitCode;
}

uint32_t ShowError(const LauncherMessage& message) {
  return Report(message.text, message.exitCode);
}
uint32_t ShowError(const ComposedMessage& message) {
  return Report(message.text.Data(), message.exitCode);
}

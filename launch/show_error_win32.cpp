#include "launch/show_error_win32.h"

#include "launch/payload_state.h"
#include "launch/win32_text.h"

static_assert(WSF_VISIBLE == kVisibleStationFlag, "the visible-station flag");

// A run shows at most one box, so the station is asked when that box is due.
static bool StationVisible() {
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  bool known = GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                         sizeof(flags), &needed);
  return ErrorBoxCanBeSeen(known, flags.dwFlags);
}

static uint32_t Report(const char16_t* text, uint32_t exitCode) {
  if (StationVisible()) {
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

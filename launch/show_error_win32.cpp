#include "launch/show_error_win32.h"

#include "launch/payload_state.h"
#include "launch/win32_text.h"

static_assert(WSF_VISIBLE == kVisibleStationFlag, "the visible-station flag");

// Written and read on the worker thread only, like the names that caption the box.
static uint32_t LastExitCode;

// A run shows at most one box, so the station is asked when that box is due.
static bool StationVisible() {
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  bool known = GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                         sizeof(flags), &needed);
  return ErrorBoxCanBeSeen(known, flags.dwFlags);
}

static void Report(const char16_t* text, uint32_t exitCode) {
  LastExitCode = exitCode;
  if (!StationVisible()) return;
  MessageBoxW(nullptr, AsWide(text), AsWide(MessageCaption(LoadedNames.title)),
              MB_OK | MB_ICONERROR);
}

void ShowError(const LauncherMessage& message) { Report(message.text, message.exitCode); }
void ShowError(const ComposedMessage& message) { Report(message.text.Data(), message.exitCode); }

uint32_t ReportedExitCode() { return LastExitCode; }

#include "launch/show_error_win32.h"

#include "launch/payload_state.h"
#include "launch/win32_text.h"

static_assert(WSF_VISIBLE == kVisibleStationFlag, "the visible-station flag");

// Both written and read on the worker thread only, like the names that caption the box.
static uint32_t LastExitCode;
static enum { kNotAsked, kVisible, kInvisible } Station = kNotAsked;

// Asked once: the launcher never changes its window station.
static bool StationVisible() {
  if (Station == kNotAsked) {
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    bool known = GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                           sizeof(flags), &needed);
    Station = ErrorBoxCanBeSeen(known, flags.dwFlags) ? kVisible : kInvisible;
  }
  return Station == kVisible;
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

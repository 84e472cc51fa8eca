// Every text the launcher can show a user, and the exit code the process ends with after each. The
// texts are fixed in the program, not in the resources, and there is no other language.
//
// Exit codes are what deployment tools judge a run by. Each message has its own, a conventional
// Windows error code whose system text fits it; none is 0 (success), 3010 or 1641 (success, a
// restart is needed or was started), 1618 (another install is running, retry) or 1707 (success),
// so no failure of the launcher's own reads as anything but a failure.
#pragma once

#include <cstdint>

#include "launch/wide_string.h"

struct LauncherMessage {
  const char16_t* text;
  uint32_t exitCode;
};

extern const LauncherMessage kOwnPathUnavailable;    // own file's path name cannot be obtained
extern const LauncherMessage kTempPathUnavailable;   // temporary folder's path name unavailable
extern const LauncherMessage kInstallFileNotOpened;  // own file cannot be opened
extern const LauncherMessage kNoAnchor;              // no usable trailer
extern const LauncherMessage kTempFileNotCreated;    // sentence of the creation message
extern const LauncherMessage kInstallFileNotRead;    // an embedded file could not be read whole
extern const LauncherMessage kTempFileNotWritten;    // writing the extracted copy failed
extern const LauncherMessage kInstallerNotStarted;   // the shell could not start the installer

// What a step of the run that can fail returns when it did not: no message has a code of 0, so
// any other value is the exit code of the message the step has shown.
constexpr uint32_t kStepSucceeded = 0;

// The endings without a message. An installer that ran and ended gives the launcher its own exit
// code instead, unchanged.
//
// The shell reported the installer started but gave no process to wait for: nothing failed as far
// as the launcher can tell.
constexpr uint32_t kExitStartedWithoutProcess = 0;
// The installer ended but its exit code could not be read (ERROR_INVALID_HANDLE).
constexpr uint32_t kExitInstallerCodeUnknown = 6;
// Another program destroyed the hidden window, during the install or before it began
// (ERROR_CANCELLED). An installer already running goes on.
constexpr uint32_t kExitWindowDestroyed = 1223;
// The worker thread could not be started; nothing was done (ERROR_TOO_MANY_TCBS).
constexpr uint32_t kExitWorkerNotStarted = 155;
// The hidden window could not be created; nothing was done (ERROR_NO_SYSTEM_RESOURCES).
constexpr uint32_t kExitWindowNotCreated = 1450;

// A message built with its variable part, and the exit code of the message it was built from.
struct ComposedMessage {
  WideString text;
  uint32_t exitCode;
};

// The creation message: the sentence, a blank line (CR LF CR LF), then the path of the file that
// could not be created, with nothing after it.
ComposedMessage CreationMessage(const WideString& path);

// The caption of an error box: the product title as it stands at that moment; empty (never
// missing) before the trailer has been read.
const char16_t* MessageCaption(const WideString& title);

// WSF_VISIBLE, the flag of a window station that has a display and input (the interactive
// station, WinSta0). Services and deployment agents in session 0 run in stations without it.
constexpr uint32_t kVisibleStationFlag = 0x0001;

// Whether the process runs in session 0 on a system that keeps users out of it. From Windows Vista
// on, session 0 holds services alone and no user ever sees its desktop, even on a station named
// WinSta0 that carries the visible flag (and since Windows 10 1803 not even through the
// interactive-services prompt). On Windows XP and Server 2003 the console user's desktop is in
// session 0, and boxes there are seen. `sessionKnown` false: the session could not be asked.
bool InIsolatedSessionZero(bool sessionKnown, uint32_t sessionId, uint32_t windowsMajorVersion);

// Whether an error box can reach anybody: only in a visible window station outside an isolated
// session 0. A box anywhere else would wait for an OK that never comes. When the station's flags
// cannot be read the box is shown, as it always was, unless the session rules it out.
bool ErrorBoxCanBeSeen(bool stationFlagsKnown, uint32_t stationFlags, bool isolatedSessionZero);

// The exit code after the start message. ERROR_CANCELLED from the shell means the user answered
// No to the elevation prompt of an installer that needs administrator rights: the run ends with
// that code, so that a calling script can tell a declined prompt from an installer that cannot
// start at all (the start message's own code). It is ERROR_CANCELLED's own value, so it is also
// the code of a hidden window destroyed from outside: both are a run somebody called off.
constexpr uint32_t kExitElevationDeclined = 1223;
uint32_t StartFailureExitCode(uint32_t shellError);

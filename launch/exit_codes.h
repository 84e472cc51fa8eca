// The codes the launcher process ends with: every one of them is here. Exit codes are what
// deployment tools judge a run by. Each message has its own (launch/messages.h), a conventional
// Windows error code whose system text fits it; none is 0 (success), 3010 or 1641 (success, a
// restart is needed or was started), 1618 (another install is running, retry) or 1707 (success),
// so no failure of the launcher's own reads as anything but a failure. Each code is checked against
// the winerror.h name beside it in launch/exit_codes_win32.h, which the Windows files include.
#pragma once

#include <cstdint>

// What a step of the run that can fail returns when it did not: no message has a code of 0, so
// any other value is the exit code of the message the step has shown.
constexpr uint32_t kStepSucceeded = 0;

// The codes of the messages, named after them.
constexpr uint32_t kExitOwnPathUnavailable = 161;    // ERROR_BAD_PATHNAME
constexpr uint32_t kExitTempPathUnavailable = 3;     // ERROR_PATH_NOT_FOUND
constexpr uint32_t kExitInstallFileNotOpened = 110;  // ERROR_OPEN_FAILED
constexpr uint32_t kExitNoAnchor = 11;               // ERROR_BAD_FORMAT
constexpr uint32_t kExitTempFileNotCreated = 82;     // ERROR_CANNOT_MAKE
constexpr uint32_t kExitInstallFileNotRead = 30;     // ERROR_READ_FAULT
constexpr uint32_t kExitTempFileNotWritten = 29;     // ERROR_WRITE_FAULT
constexpr uint32_t kExitInstallerNotStarted = 192;   // ERROR_EXE_MARKED_INVALID

// The endings without a message. An installer that ran and ended gives the launcher its own exit
// code instead, unchanged.
//
// The shell reported the installer started but gave no process to wait for: nothing failed as far
// as the launcher can tell.
constexpr uint32_t kExitStartedWithoutProcess = 0;
// The installer ended but its exit code could not be read.
constexpr uint32_t kExitInstallerCodeUnknown = 6;  // ERROR_INVALID_HANDLE
// Another program destroyed the hidden window, during the install or before it began. An installer
// already running goes on.
constexpr uint32_t kExitWindowDestroyed = 1223;  // ERROR_CANCELLED
// The worker thread could not be started; nothing was done.
constexpr uint32_t kExitWorkerNotStarted = 155;  // ERROR_TOO_MANY_TCBS
// The hidden window could not be created; nothing was done.
constexpr uint32_t kExitWindowNotCreated = 1450;  // ERROR_NO_SYSTEM_RESOURCES

// The exit code after the start message. ERROR_CANCELLED from the shell means the user answered
// No to the elevation prompt of an installer that needs administrator rights: the run ends with
// that code, so that a calling script can tell a declined prompt from an installer that cannot
// start at all (the start message's own code). It is ERROR_CANCELLED's own value, so it is also
// the code of a hidden window destroyed from outside: both are a run somebody called off.
constexpr uint32_t kExitElevationDeclined = 1223;  // ERROR_CANCELLED
uint32_t StartFailureExitCode(uint32_t shellError);

// The codes the launcher process ends with. Exit codes are what deployment tools judge a run by.
// Each message has its own (launch/messages.h), a conventional Windows error code whose system text
// fits it; none is 0 (success), 3010 or 1641 (success, a restart is needed or was started), 1618
// (another install is running, retry) or 1707 (success), so no failure of the launcher's own reads
// as anything but a failure. The endings without a message have theirs here.
#pragma once

#include <cstdint>

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

// The exit code after the start message. ERROR_CANCELLED from the shell means the user answered
// No to the elevation prompt of an installer that needs administrator rights: the run ends with
// that code, so that a calling script can tell a declined prompt from an installer that cannot
// start at all (the start message's own code). It is ERROR_CANCELLED's own value, so it is also
// the code of a hidden window destroyed from outside: both are a run somebody called off.
constexpr uint32_t kExitElevationDeclined = 1223;
uint32_t StartFailureExitCode(uint32_t shellError);

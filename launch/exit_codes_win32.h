// The launcher's exit codes (launch/exit_codes.h), each checked against the Windows error code it
// stands for. The Windows files that end the run with a code include this header instead.
#pragma once

#include <windows.h>

#include "launch/exit_codes.h"

static_assert(kExitOwnPathUnavailable == ERROR_BAD_PATHNAME, "the documented exit code");
static_assert(kExitTempPathUnavailable == ERROR_PATH_NOT_FOUND, "the documented exit code");
static_assert(kExitInstallFileNotOpened == ERROR_OPEN_FAILED, "the documented exit code");
static_assert(kExitNoAnchor == ERROR_BAD_FORMAT, "the documented exit code");
static_assert(kExitTempFileNotCreated == ERROR_CANNOT_MAKE, "the documented exit code");
static_assert(kExitInstallFileNotRead == ERROR_READ_FAULT, "the documented exit code");
static_assert(kExitTempFileNotWritten == ERROR_WRITE_FAULT, "the documented exit code");
static_assert(kExitInstallerNotStarted == ERROR_EXE_MARKED_INVALID, "the documented exit code");
static_assert(kExitInstallerCodeUnknown == ERROR_INVALID_HANDLE, "the documented exit code");
static_assert(kExitWindowDestroyed == ERROR_CANCELLED, "the documented exit code");
static_assert(kExitWorkerNotStarted == ERROR_TOO_MANY_TCBS, "the documented exit code");
static_assert(kExitWindowNotCreated == ERROR_NO_SYSTEM_RESOURCES, "the documented exit code");
static_assert(kExitElevationDeclined == ERROR_CANCELLED, "the documented exit code");

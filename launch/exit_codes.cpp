#include "launch/exit_codes.h"

#include "launch/messages.h"

uint32_t StartFailureExitCode(uint32_t shellError) {
  return shellError == kExitElevationDeclined ? kExitElevationDeclined
                                              : kInstallerNotStarted.exitCode;
}

// Waiting out another program's hold on a file the run works with.
#pragma once

#include <windows.h>

#include "launch/extraction_folder.h"

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
                  kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
                  kErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
                  kErrorLockViolation == ERROR_LOCK_VIOLATION,
              "the Windows error codes the held-file decisions tell apart");

// Makes `attempt` (which returns a StepOutcome) until it is done or has failed for good, pausing
// between attempts while another program holds the file and the run's wait allows it. Returns the
// last attempt's outcome.
template <typename Attempt>
StepOutcome UntilNotHeld(HoldWait& wait, Attempt attempt) {
  for (;;) {
    StepOutcome outcome = attempt();
    if (!WaitForHolderAgain(wait, outcome)) return outcome;
    Sleep(kHoldPauseMs);
  }
}

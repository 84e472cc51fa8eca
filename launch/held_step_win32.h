// Waiting out another program's hold on a file the run works with.
#pragma once

#include <windows.h>

#include "launch/held_step.h"
#include "launch/wide_string.h"

// The system's millisecond tick count and its sleep, which the run's wait is measured on.
extern const HoldClock kSystemClock;

// Makes `attempt` (which returns a StepOutcome) until it is done or has failed for good, trying
// again while another program holds the file and the run's wait allows it (RetryWhileHeld).
// Returns the last attempt's outcome.
template <typename Attempt>
StepOutcome UntilNotHeld(HoldWait& wait, Attempt attempt) {
  return RetryWhileHeld(
      wait, [](void* context) { return (*static_cast<Attempt*>(context))(); }, &attempt);
}

// Opens the file at `path` with CreateFileW's `access`, `share` and `disposition`, trying again
// while another program holds it, or holds a leftover of that name marked for deletion, and the
// run's wait allows it. INVALID_HANDLE_VALUE when it cannot.
HANDLE OpenWhenNotHeld(const WideString& path, DWORD access, DWORD share, DWORD disposition,
                       HoldWait& wait);

// What is left under `path`.
NameLeft NameLeftAt(const WideString& path);

// Clears the read-only, hidden and system attributes of a file at `path`, if there is one, so that
// it can be overwritten or deleted.
void ClearAttributes(const WideString& path);

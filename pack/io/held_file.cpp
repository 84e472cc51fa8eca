#include "pack/io/held_file.h"

#include "launch/error_codes.h"
#include "launch/held_step.h"

bool TryAgainWhileHeld(uint32_t error, uint64_t elapsedMs) {
  bool held = error == kErrorSharingViolation || error == kErrorLockViolation ||
              error == kErrorAccessDenied;
  return held && elapsedMs + kHoldPauseMs <= kHoldWaitLimitMs;
}

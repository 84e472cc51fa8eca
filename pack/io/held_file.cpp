#include "pack/io/held_file.h"

#include "launch/extraction_folder.h"

bool TryAgainWhileHeld(uint32_t error, uint64_t elapsedMs) {
  bool held = error == kErrorSharingViolation || error == kErrorLockViolation ||
              error == kErrorAccessDenied;
  return held && elapsedMs + kHoldPauseMs <= kHoldWaitLimitMs;
}

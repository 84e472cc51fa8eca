#include "pack/io/held_file.h"

#include "launch/error_codes.h"
#include "launch/held_step.h"

namespace {

bool IsHoldError(uint32_t error) {
  return error == kErrorSharingViolation || error == kErrorLockViolation ||
         error == kErrorAccessDenied;
}

}  // namespace

bool TryAgainWhileHeld(uint32_t error, uint64_t elapsedMs, bool readOnly) {
  if (error == kErrorAccessDenied && readOnly) return false;
  return IsHoldError(error) && elapsedMs + kHoldPauseMs <= kHoldWaitLimitMs;
}

std::string HoldNote(uint32_t error, bool readOnly) {
  if (error == kErrorAccessDenied && readOnly)
    return " (the file there is read-only: clear its read-only attribute or delete it first)";
  if (IsHoldError(error))
    return " (another program still held it after " + std::to_string(kHoldWaitLimitMs / 1000) +
           " seconds)";
  return std::string();
}

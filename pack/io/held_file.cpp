#include "pack/io/held_file.h"

#include "launch/error_codes.h"
#include "launch/held_step.h"

namespace {

bool IsHoldError(uint32_t error) {
  return error == kErrorSharingViolation || error == kErrorLockViolation ||
         error == kErrorAccessDenied;
}

}  // namespace

bool TryAgainWhileHeld(uint32_t error, uint64_t elapsedMs, InTheWay inTheWay) {
  if (error == kErrorAccessDenied && inTheWay != InTheWay::kMaybeHeld) return false;
  return IsHoldError(error) && elapsedMs + kHoldPauseMs <= kHoldWaitLimitMs;
}

std::string HoldNote(uint32_t error, InTheWay inTheWay) {
  if (error == kErrorAccessDenied && inTheWay == InTheWay::kReadOnly)
    return " (the file there is read-only: clear its read-only attribute or delete it first)";
  if (error == kErrorAccessDenied && inTheWay == InTheWay::kDenied)
    return " (the access rights of the file there or of its folder deny it)";
  if (IsHoldError(error))
    return " (another program still held it after " + std::to_string(kHoldWaitLimitMs / 1000) +
           " seconds)";
  return std::string();
}

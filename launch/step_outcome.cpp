#include "launch/step_outcome.h"

static bool HeldByAnother(uint32_t error) {
  return error == kErrorSharingViolation || error == kErrorLockViolation;
}

StepOutcome OutcomeOfOpen(bool succeeded, uint32_t error) {
  if (succeeded) return StepOutcome::kDone;
  return HeldByAnother(error) ? StepOutcome::kHeld : StepOutcome::kFailed;
}

StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, NameLeft name) {
  if (name == NameLeft::kGone) return StepOutcome::kDone;
  if (succeeded || HeldByAnother(error)) return StepOutcome::kHeld;
  return error == kErrorAccessDenied && name == NameLeft::kUnreadable ? StepOutcome::kHeld
                                                                      : StepOutcome::kFailed;
}

StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error) {
  if (succeeded) return StepOutcome::kDone;
  return error == kErrorSharingViolation ? StepOutcome::kHeld : StepOutcome::kFailed;
}

#include "launch/step_outcome.h"

static bool HeldByAnother(uint32_t error) {
  return error == kErrorSharingViolation || error == kErrorLockViolation;
}

// A file marked for deletion meets every open with access denied and keeps its name until the last
// program that holds it lets go.
static bool MarkedForDeletion(uint32_t error, NameLeft name) {
  return error == kErrorAccessDenied && name == NameLeft::kUnreadable;
}

StepOutcome OutcomeOfOpen(bool succeeded, uint32_t error, NameLeft name) {
  if (succeeded) return StepOutcome::kDone;
  return HeldByAnother(error) || MarkedForDeletion(error, name) ? StepOutcome::kHeld
                                                                : StepOutcome::kFailed;
}

StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, NameLeft name, DeletionPart part) {
  if (name == NameLeft::kGone) return StepOutcome::kDone;
  bool mapped = part == DeletionPart::kMark && error == kErrorAccessDenied;
  return succeeded || HeldByAnother(error) || MarkedForDeletion(error, name) || mapped
             ? StepOutcome::kHeld
             : StepOutcome::kFailed;
}

StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error, bool onlyMarkedNamesLeft) {
  if (succeeded) return StepOutcome::kDone;
  bool held =
      error == kErrorSharingViolation || (error == kErrorDirNotEmpty && onlyMarkedNamesLeft);
  return held ? StepOutcome::kHeld : StepOutcome::kFailed;
}

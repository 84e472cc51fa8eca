#include "launch/extraction_folder.h"

bool MayExtractInto(FolderCreation creation, bool principalsKnown, FolderOwner owner,
                    bool runsAsSystem) {
  switch (creation) {
    case FolderCreation::kCreated:
      return true;
    case FolderCreation::kExists:
      // Without the principals nobody can be told apart, SYSTEM included.
      if (!principalsKnown) return false;
      if (owner == FolderOwner::kNotRecorded) return !runsAsSystem;
      return owner == FolderOwner::kTrusted;
    case FolderCreation::kFailed:
      break;
  }
  return false;
}

static bool HeldByAnother(uint32_t error) {
  return error == kErrorSharingViolation || error == kErrorLockViolation;
}

StepOutcome OutcomeOfOpen(bool succeeded, uint32_t error) {
  if (succeeded) return StepOutcome::kDone;
  return HeldByAnother(error) ? StepOutcome::kHeld : StepOutcome::kFailed;
}

StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, bool nameRemains) {
  if (succeeded) return nameRemains ? StepOutcome::kHeld : StepOutcome::kDone;
  if (error == kErrorFileNotFound || error == kErrorPathNotFound) return StepOutcome::kDone;
  return HeldByAnother(error) || error == kErrorAccessDenied ? StepOutcome::kHeld
                                                             : StepOutcome::kFailed;
}

StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error) {
  if (succeeded) return StepOutcome::kDone;
  return error == kErrorSharingViolation ? StepOutcome::kHeld : StepOutcome::kFailed;
}

bool WaitForHolderAgain(HoldWait& wait, StepOutcome outcome) {
  if (outcome != StepOutcome::kHeld || wait.waitedMs + kHoldPauseMs > kHoldWaitLimitMs) {
    return false;
  }
  wait.waitedMs += kHoldPauseMs;
  return true;
}

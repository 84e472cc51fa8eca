#include "launch/extraction_folder.h"

bool MayExtractInto(FolderCreation creation, bool principalsKnown, FolderOwner owner,
                    bool runsAsSystem) {
  switch (creation) {
    case FolderCreation::kCreated:
      return !(runsAsSystem && owner == FolderOwner::kNotRecorded);
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

StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, NameLeft name) {
  if (name == NameLeft::kGone) return StepOutcome::kDone;
  if (succeeded || HeldByAnother(error)) return StepOutcome::kHeld;
  return error == kErrorAccessDenied && name == NameLeft::kUnreadable ? StepOutcome::kHeld
                                                                      : StepOutcome::kFailed;
}

bool IsFileTheRunHeld(const HeldFileMark& kept, const HeldFileMark& found) {
  return SameFile(kept.identity, found.identity) && kept.changed == found.changed;
}

StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error) {
  if (succeeded) return StepOutcome::kDone;
  return error == kErrorSharingViolation ? StepOutcome::kHeld : StepOutcome::kFailed;
}

StepOutcome RetryWhileHeld(HoldWait& wait, StepAttempt attempt, void* context) {
  const uint32_t begun = wait.clock->now();
  StepOutcome outcome = attempt(context);
  if (outcome != StepOutcome::kHeld) return outcome;  // nothing was waited for
  const uint32_t left = kHoldWaitLimitMs - wait.spentMs;
  uint32_t elapsed;
  for (;;) {
    elapsed = wait.clock->now() - begun;  // modulo 2^32: right across the tick count's wrap
    if (outcome != StepOutcome::kHeld || elapsed > left || left - elapsed < kHoldPauseMs) break;
    wait.clock->pause(kHoldPauseMs);
    outcome = attempt(context);
  }
  wait.spentMs += elapsed < left ? elapsed : left;
  return outcome;
}

// What the end of one attempt at a step on an extracted file or its folder means: done, held by
// another program for a moment, or failed for good.
#include "launch/step_outcome.h"

#include <gtest/gtest.h>

// Creating, holding and starting: only another program's hold is waited out.
TEST(HeldFiles, AnOpenOrStartIsTriedAgainOnlyWhileAnotherProgramHoldsTheFile) {
  for (NameLeft name : {NameLeft::kGone, NameLeft::kReadable, NameLeft::kUnreadable}) {
    EXPECT_EQ(OutcomeOfOpen(true, 0, name), StepOutcome::kDone);
    EXPECT_EQ(OutcomeOfOpen(false, kErrorSharingViolation, name), StepOutcome::kHeld);
    EXPECT_EQ(OutcomeOfOpen(false, kErrorLockViolation, name), StepOutcome::kHeld);
    EXPECT_EQ(OutcomeOfOpen(false, kErrorPathNotFound, name), StepOutcome::kFailed);
    EXPECT_EQ(OutcomeOfOpen(false, 112, name), StepOutcome::kFailed);  // ERROR_DISK_FULL
  }
  // A leftover marked for deletion (FAT, a share, no POSIX deletion) refuses the creation with
  // access denied while a scanner still holds it, and its attributes cannot be read: it goes when
  // the scanner lets go.
  EXPECT_EQ(OutcomeOfOpen(false, kErrorAccessDenied, NameLeft::kUnreadable), StepOutcome::kHeld);
  // Access denied on a file that is plainly there, or on no file at all: an access list, which no
  // wait changes. The start passes no name and is never waited for on access denied.
  EXPECT_EQ(OutcomeOfOpen(false, kErrorAccessDenied, NameLeft::kReadable), StepOutcome::kFailed);
  EXPECT_EQ(OutcomeOfOpen(false, kErrorAccessDenied, NameLeft::kGone), StepOutcome::kFailed);
  EXPECT_EQ(OutcomeOfOpen(false, kErrorAccessDenied), StepOutcome::kFailed);
}

TEST(HeldFiles, ADeletionWaitsOnlyWhileAnotherProgramHoldsTheFile) {
  // Gone: deleted now, or by the installer, or the holder let go and the mark took effect.
  EXPECT_EQ(OutcomeOfDeletion(true, 0, NameLeft::kGone), StepOutcome::kDone);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorFileNotFound, NameLeft::kGone), StepOutcome::kDone);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorPathNotFound, NameLeft::kGone), StepOutcome::kDone);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorAccessDenied, NameLeft::kGone), StepOutcome::kDone);
  // Marked for deletion while another program holds it with delete sharing: the name stays, and
  // its attributes can no longer be read.
  EXPECT_EQ(OutcomeOfDeletion(true, 0, NameLeft::kUnreadable), StepOutcome::kHeld);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorAccessDenied, NameLeft::kUnreadable),
            StepOutcome::kHeld);
  // Open without delete sharing.
  for (NameLeft name : {NameLeft::kReadable, NameLeft::kUnreadable}) {
    EXPECT_EQ(OutcomeOfDeletion(false, kErrorSharingViolation, name), StepOutcome::kHeld);
    EXPECT_EQ(OutcomeOfDeletion(false, kErrorLockViolation, name), StepOutcome::kHeld);
  }
  // Access denied on a file that is plainly there: read-only, a program image still running, an
  // access list. No wait clears it.
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorAccessDenied, NameLeft::kReadable),
            StepOutcome::kFailed);
  EXPECT_EQ(OutcomeOfDeletion(false, 19, NameLeft::kReadable), StepOutcome::kFailed);  // protected
}

// The run opened the file with delete access, and marking it was refused with access denied: a
// mapped view (STATUS_CANNOT_DELETE), the ended installer's image or a scanner's map, both of which
// end. Refused on opening, access denied on a file that is plainly there stays final.
TEST(HeldFiles, AMarkRefusedWithAccessDeniedIsAMappedViewAndIsWaitedFor) {
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorAccessDenied, NameLeft::kReadable, DeletionPart::kMark),
            StepOutcome::kHeld);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorAccessDenied, NameLeft::kReadable, DeletionPart::kOpen),
            StepOutcome::kFailed);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorAccessDenied, NameLeft::kGone, DeletionPart::kMark),
            StepOutcome::kDone);
  // Any other refusal of the mark is final.
  EXPECT_EQ(OutcomeOfDeletion(false, 19, NameLeft::kReadable, DeletionPart::kMark),
            StepOutcome::kFailed);
  EXPECT_EQ(OutcomeOfDeletion(false, 87, NameLeft::kReadable, DeletionPart::kMark),
            StepOutcome::kFailed);  // ERROR_INVALID_PARAMETER
}

// A next run meets the folder an earlier run removed while something still held it: pending
// deletion, it refuses the creation with access denied and its attributes no longer read. A
// folder the user may not create in refuses it with its name readable or missing.
TEST(HeldFiles, AFolderPendingDeletionIsWaitedForBeforeItIsMadeAgain) {
  EXPECT_EQ(OutcomeOfOpen(false, kErrorAccessDenied, NameLeft::kUnreadable), StepOutcome::kHeld);
  EXPECT_EQ(OutcomeOfOpen(false, kErrorAccessDenied, NameLeft::kGone), StepOutcome::kFailed);
  EXPECT_EQ(OutcomeOfOpen(false, 183, NameLeft::kReadable), StepOutcome::kFailed);  // it exists
}

TEST(HeldFiles, TheFolderRemovalWaitsForAHolderOrForTheRunsOwnMarkedFile) {
  for (bool ownFileMarked : {false, true}) {
    EXPECT_EQ(OutcomeOfRemoval(true, 0, ownFileMarked), StepOutcome::kDone);
    EXPECT_EQ(OutcomeOfRemoval(false, kErrorSharingViolation, ownFileMarked), StepOutcome::kHeld);
    EXPECT_EQ(OutcomeOfRemoval(false, kErrorAccessDenied, ownFileMarked), StepOutcome::kFailed);
  }
  // Not empty because names marked for deletion stay while a scanner holds them (the package the
  // run deleted, or a log the installer deleted): they go when the scanner lets go.
  EXPECT_EQ(OutcomeOfRemoval(false, kErrorDirNotEmpty, true), StepOutcome::kHeld);
  // Not empty because the installer left files: it stays.
  EXPECT_EQ(OutcomeOfRemoval(false, kErrorDirNotEmpty, false), StepOutcome::kFailed);
}

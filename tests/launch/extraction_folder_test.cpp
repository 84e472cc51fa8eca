// The extraction folder: which folders the launcher writes into, and how long a step held up by
// another program's hold on a file is tried again.
#include "launch/extraction_folder.h"

#include <gtest/gtest.h>

TEST(ExtractionFolder, AFolderJustMadeIsUsedWhoeverOwnsItAndWhetherOrNotThePrincipalsAreKnown) {
  for (bool known : {true, false}) {
    for (FolderOwner owner : {FolderOwner::kTrusted, FolderOwner::kOther, FolderOwner::kUnknown,
                              FolderOwner::kNotRecorded}) {
      for (bool system : {false, true}) {
        EXPECT_TRUE(MayExtractInto(FolderCreation::kCreated, known, owner, system));
      }
    }
  }
}

TEST(ExtractionFolder, AnExistingFolderIsUsedOnlyWhenATrustedPrincipalOwnsIt) {
  for (bool system : {false, true}) {
    EXPECT_TRUE(MayExtractInto(FolderCreation::kExists, true, FolderOwner::kTrusted, system));
    EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, true, FolderOwner::kOther, system));
    EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, true, FolderOwner::kUnknown, system));
    // Without the principals nobody can be told apart, not even a trusted owner.
    EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, false, FolderOwner::kTrusted, system));
  }
}

// FAT32, exFAT: a folder left by the user's own cut-off run must not block every later run, but
// SYSTEM does not take a folder anybody could have planted.
TEST(ExtractionFolder, OnAVolumeWithoutOwnersAnExistingFolderIsUsedExceptBySystem) {
  EXPECT_TRUE(MayExtractInto(FolderCreation::kExists, true, FolderOwner::kNotRecorded, false));
  EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, true, FolderOwner::kNotRecorded, true));
  // Whether the run is SYSTEM's is not known without the principals.
  EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, false, FolderOwner::kNotRecorded, false));
}

TEST(ExtractionFolder, AFolderThatCouldNotBeMadeIsNeverUsed) {
  for (FolderOwner owner : {FolderOwner::kTrusted, FolderOwner::kNotRecorded}) {
    EXPECT_FALSE(MayExtractInto(FolderCreation::kFailed, true, owner, false));
  }
}

// Creating, holding and starting: only another program's hold is waited out.
TEST(HeldFiles, AnOpenOrStartIsTriedAgainOnlyForASharingOrLockViolation) {
  EXPECT_EQ(OutcomeOfOpen(true, 0), StepOutcome::kDone);
  EXPECT_EQ(OutcomeOfOpen(false, kErrorSharingViolation), StepOutcome::kHeld);
  EXPECT_EQ(OutcomeOfOpen(false, kErrorLockViolation), StepOutcome::kHeld);
  // A file marked for deletion also refuses opens with access denied, but so does an access list
  // that will never change: an open is not waited for.
  EXPECT_EQ(OutcomeOfOpen(false, kErrorAccessDenied), StepOutcome::kFailed);
  EXPECT_EQ(OutcomeOfOpen(false, kErrorPathNotFound), StepOutcome::kFailed);
  EXPECT_EQ(OutcomeOfOpen(false, 112), StepOutcome::kFailed);  // ERROR_DISK_FULL
}

TEST(HeldFiles, ADeletionEndsOnlyWhenTheNameIsGone) {
  EXPECT_EQ(OutcomeOfDeletion(true, 0, false), StepOutcome::kDone);
  // Marked for deletion while another program holds it with delete sharing.
  EXPECT_EQ(OutcomeOfDeletion(true, 0, true), StepOutcome::kHeld);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorAccessDenied, true), StepOutcome::kHeld);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorSharingViolation, true), StepOutcome::kHeld);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorLockViolation, true), StepOutcome::kHeld);
  // Gone already: the holder let go and the mark took effect, or the installer removed it.
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorFileNotFound, false), StepOutcome::kDone);
  EXPECT_EQ(OutcomeOfDeletion(false, kErrorPathNotFound, false), StepOutcome::kDone);
  EXPECT_EQ(OutcomeOfDeletion(false, 19, true), StepOutcome::kFailed);  // write-protected
}

TEST(HeldFiles, TheFolderRemovalWaitsOnlyForASharingViolation) {
  EXPECT_EQ(OutcomeOfRemoval(true, 0), StepOutcome::kDone);
  EXPECT_EQ(OutcomeOfRemoval(false, kErrorSharingViolation), StepOutcome::kHeld);
  EXPECT_EQ(OutcomeOfRemoval(false, 145), StepOutcome::kFailed);  // not empty: left files
}

TEST(HeldFiles, ARunWaitsForHoldersFiveSecondsInAllWhateverTheSteps) {
  HoldWait wait;
  EXPECT_FALSE(WaitForHolderAgain(wait, StepOutcome::kDone));
  EXPECT_FALSE(WaitForHolderAgain(wait, StepOutcome::kFailed));
  EXPECT_EQ(wait.waitedMs, 0u);
  int pauses = 0;
  while (WaitForHolderAgain(wait, StepOutcome::kHeld)) ++pauses;
  EXPECT_EQ(pauses, 100);
  EXPECT_EQ(wait.waitedMs, 5000u);
  // Spent: a later step of the same run does not wait again.
  EXPECT_FALSE(WaitForHolderAgain(wait, StepOutcome::kHeld));
  EXPECT_EQ(wait.waitedMs, 5000u);
}

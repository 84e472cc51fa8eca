// The extraction folder: which folders the launcher writes into, and how long it tries to remove
// one that is still held.
#include "launch/extraction_folder.h"

#include <gtest/gtest.h>

TEST(ExtractionFolder, AFolderJustMadeIsUsedWhoeverOwnsItAndWhetherOrNotThePrincipalsAreKnown) {
  for (bool known : {true, false}) {
    for (FolderOwner owner : {FolderOwner::kTrusted, FolderOwner::kOther, FolderOwner::kUnknown}) {
      EXPECT_TRUE(MayExtractInto(FolderCreation::kCreated, known, owner));
    }
  }
}

TEST(ExtractionFolder, AnExistingFolderIsUsedOnlyWhenATrustedPrincipalOwnsIt) {
  EXPECT_TRUE(MayExtractInto(FolderCreation::kExists, true, FolderOwner::kTrusted));
  EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, true, FolderOwner::kOther));
  EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, true, FolderOwner::kUnknown));
  // Without the principals nobody can be told apart, not even a trusted owner.
  EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, false, FolderOwner::kTrusted));
}

TEST(ExtractionFolder, AFolderThatCouldNotBeMadeIsNeverUsed) {
  EXPECT_FALSE(MayExtractInto(FolderCreation::kFailed, true, FolderOwner::kTrusted));
}

TEST(ExtractionFolder, OnlyASharingViolationIsTriedAgainForAboutTwoSeconds) {
  EXPECT_FALSE(TryRemovalAgain(1, RemovalOutcome::kRemoved));
  EXPECT_FALSE(TryRemovalAgain(1, RemovalOutcome::kOtherFailure));  // e.g. not empty
  int attempts = 1;
  while (TryRemovalAgain(attempts, RemovalOutcome::kSharingViolation)) ++attempts;
  EXPECT_EQ(attempts, kRemovalAttempts);
  uint32_t waitedMs = (attempts - 1) * kRemovalPauseMs;
  EXPECT_GE(waitedMs, 1900u);
  EXPECT_LE(waitedMs, 2000u);
}

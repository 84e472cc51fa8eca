// Which extraction folders the launcher writes into: one it made, or one a trusted principal owns.
#include "launch/folder_trust.h"

#include <gtest/gtest.h>

TEST(ExtractionFolder, AFolderJustMadeIsUsedWhoeverOwnsItAndWhetherOrNotThePrincipalsAreKnown) {
  for (bool known : {true, false}) {
    for (FolderOwner owner : {FolderOwner::kTrusted, FolderOwner::kOther, FolderOwner::kUnknown}) {
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
// SYSTEM takes no folder there, not even one it made itself: anybody can drop a file into a folder
// of that predictable name between its creation and the installer's start.
TEST(ExtractionFolder, OnAVolumeWithoutAccessListsAFolderNewOrExistingIsUsedExceptBySystem) {
  for (FolderCreation creation : {FolderCreation::kCreated, FolderCreation::kExists}) {
    EXPECT_TRUE(MayExtractInto(creation, true, FolderOwner::kNotRecorded, false));
    EXPECT_FALSE(MayExtractInto(creation, true, FolderOwner::kNotRecorded, true));
  }
  // Whether the run is SYSTEM's is not known without the principals: an existing folder is
  // refused, a new one used as anywhere else.
  EXPECT_FALSE(MayExtractInto(FolderCreation::kExists, false, FolderOwner::kNotRecorded, false));
  EXPECT_TRUE(MayExtractInto(FolderCreation::kCreated, false, FolderOwner::kNotRecorded, false));
}

TEST(ExtractionFolder, AFolderThatCouldNotBeMadeIsNeverUsed) {
  for (FolderOwner owner : {FolderOwner::kTrusted, FolderOwner::kNotRecorded}) {
    EXPECT_FALSE(MayExtractInto(FolderCreation::kFailed, true, owner, false));
  }
}

// The extraction folder: which folders the launcher writes into, which files its clean-up
// deletes, and how long a step held up by another program's hold on a file is tried again.
#include "launch/file_mark.h"
#include "launch/folder_trust.h"
#include "launch/held_step.h"
#include "launch/step_outcome.h"

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

TEST(HeldFiles, TheCleanUpDeletesOnlyTheFileTheRunHeldUnchanged) {
  const HeldFileMark kept = {{0x1234ABCD, 1, 0x20}, 0x01DB000000000001};
  for (bool heldSince : {false, true}) {
    // Where the change time tells, a holder met since the hold ended changes nothing.
    EXPECT_TRUE(IsFileTheRunHeld(kept, kept, heldSince));
    // Another file under the name: made anew, or the same index on another volume.
    EXPECT_FALSE(IsFileTheRunHeld(kept, {{0x1234ABCD, 1, 0x21}, kept.changed}, heldSince));
    EXPECT_FALSE(IsFileTheRunHeld(kept, {{0x1234ABCD, 2, 0x20}, kept.changed}, heldSince));
    EXPECT_FALSE(IsFileTheRunHeld(kept, {{0x1234ABCE, 1, 0x20}, kept.changed}, heldSince));
    // The same file written over by another start after the hold ended: the same bytes and time
    // stamp, a later change.
    EXPECT_FALSE(IsFileTheRunHeld(kept, {kept.identity, kept.changed + 1}, heldSince));
  }
}

// FAT reports no change time and keeps the file's identity when another start writes over it: the
// mark cannot tell, and a holder met since the run let go may have been that start.
TEST(HeldFiles, WhereTheChangeTimeIsZeroTheCleanUpDeletesOnlyAFileNobodyHeldSince) {
  const HeldFileMark kept = {{0x0A0B0C0D, 0, 0x40}, 0};
  EXPECT_TRUE(IsFileTheRunHeld(kept, kept, false));
  EXPECT_FALSE(IsFileTheRunHeld(kept, kept, true));
  // One side's time unread is as unknown as both.
  const HeldFileMark timed = {kept.identity, 0x01DB000000000001};
  EXPECT_TRUE(IsFileTheRunHeld(timed, kept, false));
  EXPECT_FALSE(IsFileTheRunHeld(timed, kept, true));
  EXPECT_FALSE(IsFileTheRunHeld(kept, timed, true));
  // Another identity is another file, whatever the times.
  EXPECT_FALSE(IsFileTheRunHeld(kept, {{0x0A0B0C0D, 0, 0x41}, 0}, false));
}

// A file system without ids gives 0; one that cannot make an id gives all ones, in the 128-bit
// or the 64-bit form (the low half). Any other id, the high half's alone included, tells.
TEST(HeldFiles, AnIdOfZeroOrAllOnesInEitherFormTellsNothing) {
  constexpr uint64_t kOnes = ~uint64_t{0};
  EXPECT_FALSE(IdentityTells({7, 0, 0}));
  EXPECT_FALSE(IdentityTells({7, kOnes, kOnes}));
  EXPECT_FALSE(IdentityTells({7, 0, kOnes}));
  EXPECT_TRUE(IdentityTells({7, 0, 1}));
  EXPECT_TRUE(IdentityTells({0, 0, 1}));
  EXPECT_TRUE(IdentityTells({7, 0, kOnes - 1}));
  EXPECT_TRUE(IdentityTells({7, 1, 0}));
  EXPECT_TRUE(IdentityTells({7, kOnes, 0}));
  EXPECT_TRUE(IdentityTells({7, kOnes, 1}));
}

// Where an id tells nothing (ReFS, some shares), the change time alone tells the run's file from
// one another start wrote over it; with neither, the file stays for the next run to replace.
TEST(HeldFiles, WhereTheIdTellsNothingTheChangeTimeAloneDecides) {
  constexpr uint64_t kOnes = ~uint64_t{0};
  const uint64_t changed = 0x01DB000000000001;
  for (FileIdentity unknown :
       {FileIdentity{0x1234ABCD, 0, 0}, FileIdentity{0x1234ABCD, kOnes, kOnes},
        FileIdentity{0x1234ABCD, 0, kOnes}}) {
    const HeldFileMark kept = {unknown, changed};
    for (bool heldSince : {false, true}) {
      EXPECT_TRUE(IsFileTheRunHeld(kept, kept, heldSince));
      EXPECT_TRUE(IsFileTheRunHeld(kept, {{0x1234ABCD, 0, 77}, changed}, heldSince));
      EXPECT_TRUE(IsFileTheRunHeld({{0x1234ABCD, 0, 77}, changed}, kept, heldSince));
      EXPECT_FALSE(IsFileTheRunHeld(kept, {unknown, changed + 1}, heldSince));
      EXPECT_FALSE(IsFileTheRunHeld({unknown, 0}, {unknown, 0}, heldSince));
      EXPECT_FALSE(IsFileTheRunHeld(kept, {unknown, 0}, heldSince));
    }
  }
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

// A simulated clock: the tick count of the system, moved on by the pauses and by the attempts'
// own time.
static uint32_t simulatedNow = 0;
static int pausesMade = 0;

static const HoldClock kSimulatedClock = {
    [] { return simulatedNow; },
    [](uint32_t ms) {
      simulatedNow += ms;
      ++pausesMade;
    },
};

// A step whose attempts each take `costMs` and are held `heldAttempts` times (-1: for ever),
// then done.
struct SimulatedStep {
  uint32_t costMs = 0;
  int heldAttempts = -1;
  int attempts = 0;

  StepOutcome Run(HoldWait& wait) {
    return RetryWhileHeld(
        wait,
        [](void* context) {
          SimulatedStep& step = *static_cast<SimulatedStep*>(context);
          simulatedNow += step.costMs;
          bool held = step.heldAttempts < 0 || step.attempts < step.heldAttempts;
          ++step.attempts;
          return held ? StepOutcome::kHeld : StepOutcome::kDone;
        },
        this);
  }
};

class HoldWaitClock : public testing::Test {
 protected:
  void SetUp() override { pausesMade = 0; }

  // Runs the step; returns its outcome, and how long it took in `tookMs`.
  StepOutcome Take(SimulatedStep& step, uint32_t& tookMs) {
    uint32_t begun = simulatedNow;
    StepOutcome outcome = step.Run(wait_);
    tookMs = simulatedNow - begun;
    return outcome;
  }

  HoldWait wait_{&kSimulatedClock};
};

TEST_F(HoldWaitClock, QuickAttemptsHeldForGoodAreTriedForFiveSecondsThenNeverAgainInTheRun) {
  simulatedNow = 1000;
  SimulatedStep held;
  uint32_t took = 0;
  EXPECT_EQ(Take(held, took), StepOutcome::kHeld);
  EXPECT_EQ(held.attempts, 101);  // the first, then one after each of 100 pauses of 50 ms
  EXPECT_EQ(took, 5000u);
  EXPECT_EQ(wait_.spentMs, 5000u);
  // Spent: a later step of the same run tries once and does not wait.
  SimulatedStep later;
  EXPECT_EQ(Take(later, took), StepOutcome::kHeld);
  EXPECT_EQ(later.attempts, 1);
  EXPECT_EQ(pausesMade, 100);
}

// An attempt that itself takes seconds (a creation on a slow network share, a start through the
// shell) counts: the step ends within the wait and one attempt, not after 100 such attempts.
TEST_F(HoldWaitClock, SlowAttemptsCountAgainstTheWait) {
  simulatedNow = 0;
  SimulatedStep slow;
  slow.costMs = 2000;
  uint32_t took = 0;
  EXPECT_EQ(Take(slow, took), StepOutcome::kHeld);
  EXPECT_EQ(slow.attempts, 3);  // begun at 0, 2,050 and 4,100 ms
  EXPECT_EQ(took, 6100u);
  EXPECT_LE(took, kHoldWaitLimitMs + slow.costMs);
  EXPECT_EQ(wait_.spentMs, kHoldWaitLimitMs);
}

TEST_F(HoldWaitClock, TheWaitIsRightAcrossTheTickCountsWrap) {
  simulatedNow = 0xFFFFFFFFu - 1234;
  SimulatedStep held;
  held.costMs = 7;
  uint32_t took = 0;
  EXPECT_EQ(Take(held, took), StepOutcome::kHeld);
  EXPECT_LT(simulatedNow, 5000u);  // the count wrapped during the step
  EXPECT_EQ(held.attempts, 88);    // 57 ms an attempt and pause: the 88th begins at 4,959 ms
  EXPECT_EQ(took, 4966u);
  EXPECT_EQ(wait_.spentMs, 4966u);
}

TEST_F(HoldWaitClock, StepsShareTheRunsWaitAndAStepDoneAtOnceSpendsNone) {
  simulatedNow = 500;
  uint32_t took = 0;
  SimulatedStep slowButFree;
  slowButFree.costMs = 3000;
  slowButFree.heldAttempts = 0;
  EXPECT_EQ(Take(slowButFree, took), StepOutcome::kDone);
  EXPECT_EQ(wait_.spentMs, 0u);

  SimulatedStep briefHold;
  briefHold.costMs = 100;
  briefHold.heldAttempts = 4;  // 4 held attempts, then done: 5 attempts and 4 pauses
  EXPECT_EQ(Take(briefHold, took), StepOutcome::kDone);
  EXPECT_EQ(briefHold.attempts, 5);
  EXPECT_EQ(wait_.spentMs, 700u);

  SimulatedStep heldForGood;
  heldForGood.costMs = 100;
  EXPECT_EQ(Take(heldForGood, took), StepOutcome::kHeld);
  EXPECT_LE(took, kHoldWaitLimitMs - 700 + heldForGood.costMs);
  EXPECT_EQ(wait_.spentMs, kHoldWaitLimitMs);
}

// Which file the clean-up deletes: only the one the run held, unchanged since.
#include "launch/file_mark.h"

#include <gtest/gtest.h>

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

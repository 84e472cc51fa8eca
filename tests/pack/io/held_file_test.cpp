// When the tool waits out another program's hold on a file it replaces, and what it says when it
// gives up.
#include <gtest/gtest.h>

#include "launch/held_step.h"
#include "pack/io/held_file.h"

TEST(TryAgainWhileHeld, WaitsForAHolderWithinTheLaunchersWaitOnly) {
  for (uint32_t held : {32u, 33u, 5u}) {  // sharing and lock violation, access denied
    EXPECT_TRUE(TryAgainWhileHeld(held, 0, InTheWay::kMaybeHeld));
    EXPECT_TRUE(TryAgainWhileHeld(held, kHoldWaitLimitMs - kHoldPauseMs, InTheWay::kMaybeHeld));
    EXPECT_FALSE(
        TryAgainWhileHeld(held, kHoldWaitLimitMs - kHoldPauseMs + 1, InTheWay::kMaybeHeld));
    EXPECT_FALSE(
        TryAgainWhileHeld(held, 60000, InTheWay::kMaybeHeld));  // one slow attempt counts too
  }
  for (uint32_t other : {0u, 2u, 3u, 80u, 112u, 183u})  // not found, exists, disk full...
    EXPECT_FALSE(TryAgainWhileHeld(other, 0, InTheWay::kMaybeHeld)) << other;
}

// Access denied on a read-only file is no hold: it is said at once, not after 5 seconds.
TEST(TryAgainWhileHeld, GivesUpAtOnceOnAReadOnlyFileAndSaysSo) {
  EXPECT_FALSE(TryAgainWhileHeld(5, 0, InTheWay::kReadOnly));
  EXPECT_EQ(HoldNote(5, InTheWay::kReadOnly),
            " (the file there is read-only: clear its read-only attribute or delete it first)");
  // A sharing violation is a hold whatever the attributes say.
  EXPECT_TRUE(TryAgainWhileHeld(32, 0, InTheWay::kReadOnly));
  EXPECT_EQ(HoldNote(32, InTheWay::kReadOnly), " (another program still held it after 5 seconds)");
  EXPECT_EQ(HoldNote(5, InTheWay::kMaybeHeld), " (another program still held it after 5 seconds)");
  EXPECT_EQ(HoldNote(112, InTheWay::kReadOnly), "");  // disk full
}

// Access denied on a file the user may not delete, or into a folder that takes no new file, is
// the access rights, not another program: said at once, and not blamed on a holder.
TEST(TryAgainWhileHeld, GivesUpAtOnceWhereTheRightsDenyItAndSaysSo) {
  EXPECT_FALSE(TryAgainWhileHeld(5, 0, InTheWay::kDenied));
  EXPECT_EQ(HoldNote(5, InTheWay::kDenied),
            " (the access rights of the file there or of its folder deny it)");
  EXPECT_TRUE(TryAgainWhileHeld(32, 0, InTheWay::kDenied));
  EXPECT_EQ(HoldNote(32, InTheWay::kDenied), " (another program still held it after 5 seconds)");
}

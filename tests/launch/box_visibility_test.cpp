#include <gtest/gtest.h>

#include "launch/box_visibility.h"

TEST(ErrorBoxCanBeSeen, OnlyInAVisibleWindowStationOrWhenTheStationCannotBeAsked) {
  EXPECT_TRUE(ErrorBoxCanBeSeen(true, kVisibleStationFlag, false));
  EXPECT_TRUE(ErrorBoxCanBeSeen(true, kVisibleStationFlag | 0x80000000u, false));
  EXPECT_FALSE(ErrorBoxCanBeSeen(true, 0, false));
  EXPECT_FALSE(ErrorBoxCanBeSeen(true, 0xFFFFFFFEu, false));
  EXPECT_TRUE(ErrorBoxCanBeSeen(false, 0, false));
}

TEST(ErrorBoxCanBeSeen, NeverInSessionZeroFromWindowsVistaOnEvenOnTheVisibleStation) {
  EXPECT_FALSE(ErrorBoxCanBeSeen(true, kVisibleStationFlag, true));
  EXPECT_FALSE(ErrorBoxCanBeSeen(false, 0, true));

  EXPECT_TRUE(InIsolatedSessionZero(true, 0, 6));   // Vista, Server 2008
  EXPECT_TRUE(InIsolatedSessionZero(true, 0, 10));  // Windows 10 and 11
  // XP and Server 2003: the console user's desktop is in session 0.
  EXPECT_FALSE(InIsolatedSessionZero(true, 0, 5));
  // A user's session, or one that could not be asked.
  EXPECT_FALSE(InIsolatedSessionZero(true, 1, 10));
  EXPECT_FALSE(InIsolatedSessionZero(true, 0x7FFFFFFFu, 10));
  EXPECT_FALSE(InIsolatedSessionZero(false, 0, 10));
}

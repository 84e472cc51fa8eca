#include <gtest/gtest.h>

#include "launch/tail_window.h"

TEST(WindowStart, FilesOfAtMost128KiBAreSearchedFromTheStart) {
  EXPECT_EQ(WindowStart(0), 0);
  EXPECT_EQ(WindowStart(44), 0);
  EXPECT_EQ(WindowStart(131072), 0);
}

TEST(WindowStart, LongerFilesStartAtTheNextMultipleOf128) {
  EXPECT_EQ(WindowStart(131073), 128);
  EXPECT_EQ(WindowStart(131072 + 127), 128);
  EXPECT_EQ(WindowStart(131072 + 128), 128);  // already a multiple: unchanged
  EXPECT_EQ(WindowStart(131072 + 129), 256);
}

TEST(WindowStart, TheWindowIsNeverLongerThan128KiB) {
  for (int32_t s : {131073, 200000, 1644680, 0x7FFFFFFF}) {
    int32_t w = WindowStart(s);
    EXPECT_EQ(w % 128, 0) << s;
    EXPECT_LE(s - w, 131072) << s;
    EXPECT_GT(s - w, 131072 - 128) << s;
  }
}

TEST(WindowStart, DistributedLauncherFile) {
  EXPECT_EQ(WindowStart(1644680), 1513728);
  EXPECT_EQ(1644680 - WindowStart(1644680), 130952);
}

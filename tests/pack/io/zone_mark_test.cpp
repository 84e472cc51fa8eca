// Whether the mark of the web is written onto an extracted file.
#include <gtest/gtest.h>

#include "pack/io/zone_mark.h"

// A share answers no volume query: the mark is tried there, and only a volume that says it has no
// named streams is skipped.
TEST(MarkWriteFor, TriesTheMarkWhereTheVolumeCannotBeAsked) {
  EXPECT_EQ(MarkWriteFor(false, false), MarkWrite::kTry);
  EXPECT_EQ(MarkWriteFor(true, false), MarkWrite::kSkip);
  EXPECT_EQ(MarkWriteFor(true, true), MarkWrite::kWrite);
}

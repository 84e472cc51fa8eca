#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "launch/scan_tail.h"
#include "launch/tail_window.h"
#include "tests/launch/test_text.h"
#include "tests/support/launcher_builder.h"
#include "tests/support/sample_files.h"

namespace {

bool AllZero(const std::vector<uint8_t>& file, uint64_t from, uint64_t to) {
  return std::all_of(file.begin() + from, file.begin() + to, [](uint8_t b) { return b == 0; });
}

}  // namespace

TEST(DistributedLayout, AlignsPackageTo16AndTrailerTo128) {
  LauncherLayout layout = DistributedLayout(1001, 17, 5, 100);
  EXPECT_EQ(layout.installerOffset, 1001u);
  EXPECT_EQ(layout.packageOffset, 1024u);
  EXPECT_EQ(layout.trailerOffset, 1152u);
  EXPECT_EQ(layout.fileLength, 1252u);

  LauncherLayout aligned = DistributedLayout(1024, 16, 112, 60);  // already aligned: no gaps
  EXPECT_EQ(aligned.packageOffset, 1040u);
  EXPECT_EQ(aligned.trailerOffset, 1152u);
}

TEST(BuildLauncher, WritesTheDistributedLayoutWithZeroGaps) {
  LauncherContents contents;
  contents.stub = PatternBytes(1001, 1);
  contents.installer = PatternBytes(17, 2);
  contents.package = PatternBytes(0, 3);  // a zero-size package is allowed
  contents.names = {u"Title", u"{F}", u"setup.exe", u"product.msi"};
  contents.installerTime = 0x01D9000000000001ull;
  contents.packageTime = 0x01D9000000000002ull;
  std::vector<uint8_t> file = BuildLauncher(contents);

  LauncherLayout layout = DistributedLayout(1001, 17, 0, 0);
  EXPECT_TRUE(std::equal(contents.stub.begin(), contents.stub.end(), file.begin()));
  EXPECT_TRUE(
      std::equal(contents.installer.begin(), contents.installer.end(), file.begin() + 1001));
  EXPECT_TRUE(AllZero(file, 1018, layout.trailerOffset));

  int32_t w = WindowStart(static_cast<int32_t>(file.size()));
  PayloadNames names;
  AnchorRecord record{};
  int32_t found =
      ScanTail(file.data() + w, static_cast<int32_t>(file.size()) - w, w, names, record);
  ASSERT_EQ(static_cast<uint64_t>(w + found), layout.trailerOffset);
  EXPECT_EQ(record.stubLength, 1001u);
  EXPECT_EQ(record.installerOffset, 1001u);
  EXPECT_EQ(record.installerSize, 17u);
  EXPECT_EQ(record.packageOffset, 1024u);
  EXPECT_EQ(record.packageSize, 0u);
  EXPECT_EQ(record.installerTime, contents.installerTime);
  EXPECT_EQ(record.packageTime, contents.packageTime);
  EXPECT_EQ(Text(names.packageName), u"product.msi");
  EXPECT_EQ(file.size(), layout.trailerOffset + 44 + 2 * (5 + 3 + 9 + 11 + 4));
}

TEST(PlaceBytes, GrowsWithZerosAndOverwritesInPlace) {
  std::vector<uint8_t> file{1, 2, 3};
  PlaceBytes(file, 5, {9, 9});
  EXPECT_EQ(file, (std::vector<uint8_t>{1, 2, 3, 0, 0, 9, 9}));
  PlaceBytes(file, 1, {7});
  EXPECT_EQ(file, (std::vector<uint8_t>{1, 7, 3, 0, 0, 9, 9}));
}

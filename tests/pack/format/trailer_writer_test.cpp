#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
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

// docs/format.md. The Windows program finds it in the test kit's docs folder when the kit's
// runner names the kit (VOSSIMERE_TEST_KIT), and otherwise where VOSSIMERE_FORMAT_DOC names it.
std::filesystem::path FormatDocument() {
#ifdef _WIN32
  if (const wchar_t* kit = _wgetenv(L"VOSSIMERE_TEST_KIT")) {
    return std::filesystem::path(kit) / L"docs" / L"format.md";
  }
  const wchar_t* document = _wgetenv(L"VOSSIMERE_FORMAT_DOC");
  return document ? document : L"(VOSSIMERE_FORMAT_DOC is not set)";
#else
  return VOSSIMERE_FORMAT_DOC;
#endif
}

// The lines of a hex dump in a document ("00037a00: bc66 aa55 ...  .f.U"): each line's offset
// and bytes.
std::vector<std::pair<uint64_t, std::vector<uint8_t>>> HexDumpLines(
    const std::filesystem::path& path) {
  std::vector<std::pair<uint64_t, std::vector<uint8_t>>> lines;
  std::ifstream in(path);
  const std::regex dumpLine("^([0-9a-f]{8}): ((?:[0-9a-f]{2,4} )+) .*$");
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (!std::regex_match(line, match, dumpLine)) continue;
    std::string hex = match[2];
    hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
    std::vector<uint8_t> bytes;
    for (size_t at = 0; at + 1 < hex.size(); at += 2)
      bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(at, 2), nullptr, 16)));
    lines.emplace_back(std::stoull(match[1], nullptr, 16), bytes);
  }
  return lines;
}

std::string WithThousands(uint64_t value) {
  std::string digits = std::to_string(value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
  return digits;
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

// docs/format.md shows the trailer of a file built from a 27,648-byte image and the example
// product's files; every byte and figure shown is what the writer makes of those inputs.
TEST(BuildLauncher, FormatDocumentsExampleIsWhatItWrites) {
  LauncherContents contents;
  contents.stub = PatternBytes(27648, 1);
  contents.installer = PatternBytes(190464, 2);
  contents.package = PatternBytes(9728, 3);
  contents.names = {u"Vossimere Example Product", u"{5B0C7E9A-2F41-4D6B-9C3E-8A1D7F26B4E0}",
                    u"setup.exe", u"example-product.msi"};
  contents.installerTime = 0x01DCA95DF9AA1C00ull;  // 2026-03-01T09:30:00Z
  contents.packageTime = 0x01DCA959C8C7E800ull;    // 2026-03-01T09:00:00Z
  std::vector<uint8_t> file = BuildLauncher(contents);
  const uint64_t trailer = 227840;
  ASSERT_EQ(file.size(), 228074u);
  ASSERT_EQ(DistributedLayout(27648, 190464, 9728, file.size() - trailer).trailerOffset, trailer);

  std::ifstream in(FormatDocument());
  std::string doc((std::istreambuf_iterator<char>(in)), {});
  char placement[100];
  std::snprintf(placement, sizeof placement, "at byte %s = 0x%llX of a %s-byte file",
                WithThousands(trailer).c_str(), static_cast<unsigned long long>(trailer),
                WithThousands(file.size()).c_str());
  EXPECT_NE(doc.find(placement), std::string::npos) << placement;

  auto lines = HexDumpLines(FormatDocument());
  ASSERT_GE(lines.size(), 4u) << "no hex dump in " << FormatDocument().u8string();
  for (const auto& [offset, bytes] : lines) {
    ASSERT_LE(offset + bytes.size(), file.size()) << std::hex << offset;
    EXPECT_EQ(bytes,
              std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + bytes.size()))
        << "the line at 0x" << std::hex << offset;
  }
  EXPECT_EQ(lines.back().first + lines.back().second.size(), file.size()) << "the last line";
}

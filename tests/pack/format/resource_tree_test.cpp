#include <gtest/gtest.h>

#include <algorithm>

#include "launch/anchor_record.h"
#include "pack/format/launcher_appearance.h"
#include "pack/format/launcher_resources.h"
#include "pack/format/pe_checksum.h"
#include "pack/format/resource_tree.h"
#include "pack/io/pack_error.h"
#include "resources/resource_ids.h"
#include "tests/pack/cli/pack_tool_fixture.h"
#include "tests/support/sample_files.h"
#include "tests/support/synthetic_image.h"

namespace {

ResourceEntry Leaf(uint32_t language, std::vector<uint8_t> data) {
  ResourceEntry leaf;
  leaf.id = language;
  leaf.data = std::move(data);
  return leaf;
}

// Two types: one named "AB" (name 1, language 0, one byte) and RT_STRING (name 7, Japanese,
// three bytes), given in the wrong order: the writer puts names first.
ResourceEntry SmallTree() {
  ResourceEntry root;
  root.FindOrAdd(6).FindOrAdd(7).children.push_back(Leaf(0x0411, {1, 2, 3}));
  ResourceEntry named;
  named.name = u"AB";
  named.FindOrAdd(1).children.push_back(Leaf(0, {9}));
  root.children.push_back(named);
  return root;
}

std::vector<uint8_t> LauncherImage() {
  SyntheticImageOptions options;
  options.resourceSection = true;
  std::vector<uint8_t> image = SyntheticImage(options);
  StoreU32(&image[kSyntheticChecksumField],
           ComputePeChecksum(image.data(), image.size(), kSyntheticChecksumField));
  return image;
}

PeImage Headers(const std::vector<uint8_t>& bytes) {
  std::string problem;
  std::optional<PeImage> image = ReadPeImage(bytes.data(), bytes.size(), &problem);
  EXPECT_TRUE(image) << problem;
  return image ? *image : PeImage{};
}

ResourceEntry TreeOf(const std::vector<uint8_t>& bytes) {
  std::string problem;
  std::optional<ResourceEntry> tree =
      ReadImageResources(Headers(bytes), bytes.data(), bytes.size(), &problem);
  EXPECT_TRUE(tree) << problem;
  return tree ? *tree : ResourceEntry{};
}

std::string Refusal(const std::vector<uint8_t>& section) {
  std::string problem;
  EXPECT_FALSE(ReadResourceTree(section.data(), section.size(), 0x1000, 0, &problem));
  return problem;
}

LauncherAppearance Publisher() { return SampleAppearance(); }

// LauncherImage() with its one relocation block replaced by one for `page` holding `entries`
// (type << 12 | offset), and the 8 bytes at .text's offset `at` set to `held`.
std::vector<uint8_t> WithRelocations(uint32_t page, const std::vector<uint16_t>& entries,
                                     uint32_t at = 0x8, uint64_t held = 0) {
  std::vector<uint8_t> image = LauncherImage();
  const PeImage headers = Headers(image);
  const PeSection& reloc = headers.sections[2];
  const uint32_t size = static_cast<uint32_t>(8 + 2 * entries.size());
  StoreU32(&image[reloc.pointerToRawData], page);
  StoreU32(&image[reloc.pointerToRawData + 4], size);
  for (size_t i = 0; i < entries.size(); ++i) {
    image[reloc.pointerToRawData + 8 + 2 * i] = static_cast<uint8_t>(entries[i]);
    image[reloc.pointerToRawData + 9 + 2 * i] = static_cast<uint8_t>(entries[i] >> 8);
  }
  StoreU32(&image[kSyntheticOptionalHeader + 112 + 44], size);
  StoreU32(&image[kSyntheticOptionalHeader + 112 + 16 * 8 + 2 * 40 + 8], size);  // VirtualSize
  StoreU64(&image[headers.sections[0].pointerToRawData + at], held);
  return image;
}

// What RebuildResourceSection says when it refuses `image`; empty when it does not refuse.
std::string RebuildRefusal(const std::vector<uint8_t>& image) {
  try {
    RebuildResourceSection(image, TreeOf(image));
  } catch (const PackError& error) {
    return error.what();
  }
  return {};
}

}  // namespace

// Known answer: directories breadth first, data entries, names, then data at multiples of 8.
TEST(ResourceTree, WritesDirectoriesEntriesNamesAndDataInThatOrder) {
  // clang-format off
  const std::vector<uint8_t> expected{
      // root: one named, one numbered entry
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0,
      0xA0, 0, 0, 0x80, 0x20, 0, 0, 0x80,  // "AB" at 160, directory at 32
      6, 0, 0, 0, 0x38, 0, 0, 0x80,        // RT_STRING, directory at 56
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0,  // "AB": name 1 at 80
      1, 0, 0, 0, 0x50, 0, 0, 0x80,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0,  // RT_STRING: name 7 at 104
      7, 0, 0, 0, 0x68, 0, 0, 0x80,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0,  // language 0: data entry at 128
      0, 0, 0, 0, 0x80, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0,  // language 0x0411: data entry at 144
      0x11, 4, 0, 0, 0x90, 0, 0, 0,
      0xA8, 0x10, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // RVA 0x10A8, 1 byte
      0xB0, 0x10, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // RVA 0x10B0, 3 bytes
      2, 0, 'A', 0, 'B', 0, 0, 0,  // the name, then padding to 168
      9, 0, 0, 0, 0, 0, 0, 0,
      1, 2, 3, 0, 0, 0, 0, 0};
  // clang-format on
  EXPECT_EQ(WriteResourceTree(SmallTree(), 0x1000), expected);

  std::string problem;
  std::optional<ResourceEntry> back =
      ReadResourceTree(expected.data(), expected.size(), 0x1000, 0, &problem);
  ASSERT_TRUE(back) << problem;
  ASSERT_EQ(back->children.size(), 2u);
  EXPECT_EQ(back->children[0].name, u"AB");
  EXPECT_EQ(back->children[0].children[0].children[0].data, std::vector<uint8_t>{9});
  ASSERT_TRUE(FindResourceData(*back, 6, 7));
  EXPECT_EQ(FindResourceData(*back, 6, 7)->id, 0x0411u);
  EXPECT_EQ(FindResourceData(*back, 6, 7)->data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(WriteResourceTree(*back, 0x1000), expected);
}

TEST(ResourceTree, RefusesTreesTheLoaderCouldNotWalk) {
  const std::vector<uint8_t> good = WriteResourceTree(SmallTree(), 0x1000);
  std::vector<uint8_t> bad = good;
  StoreU32(&bad[144 + 4], 100);  // the 3 bytes become 100, past the section's end
  EXPECT_NE(Refusal(bad).find("outside the resource section"), std::string::npos);
  bad = good;
  StoreU32(&bad[144], 0x0FF0);  // data before the section
  EXPECT_NE(Refusal(bad).find("outside the resource section"), std::string::npos);
  bad = good;
  bad[14] = 0xFF;  // 255 numbered entries in the root
  EXPECT_NE(Refusal(bad).find("run past"), std::string::npos);
  bad = good;
  StoreU32(&bad[16], 0x80000000u | 180);  // the name's offset points past the end
  EXPECT_NE(Refusal(bad).find("name"), std::string::npos);
  bad = good;
  StoreU32(&bad[52], 0x80);  // the name level holds data instead of a directory
  EXPECT_NE(Refusal(bad).find("three levels"), std::string::npos);
  bad = good;
  StoreU32(&bad[16], 5);  // numbered 5, then 6, but counted as named
  EXPECT_NE(Refusal(bad).find("named and numbered"), std::string::npos);

  ResourceEntry unordered;
  unordered.FindOrAdd(6).FindOrAdd(7).children.push_back(Leaf(0x0411, {1}));
  std::vector<uint8_t> two = WriteResourceTree(unordered, 0x1000);
  bad = WriteResourceTree(SmallTree(), 0x1000);
  // Root with two numbered entries, 6 before 3: the loader's binary search would miss one.
  bad[12] = 0;
  bad[14] = 2;
  StoreU32(&bad[16], 6);
  StoreU32(&bad[24], 3);
  EXPECT_NE(Refusal(bad).find("ascending"), std::string::npos);
  EXPECT_TRUE(ReadResourceTree(two.data(), two.size(), 0x1000, 0, nullptr));
}

// The section after the resources moves by whole pages and file blocks; the headers follow.
TEST(RebuildResourceSection, MovesTheRelocationsAndPutsTheHeadersRight) {
  const std::vector<uint8_t> plain = LauncherImage();
  const PeImage before = Headers(plain);
  ASSERT_EQ(before.sections.size(), 3u);
  ASSERT_EQ(before.sections[1].name, ".rsrc");
  const std::vector<uint8_t> rebuilt = ApplyAppearance(plain, Publisher());
  const PeImage after = Headers(rebuilt);
  ASSERT_EQ(after.sections.size(), 3u);

  const PeSection& rsrc = after.sections[1];
  const PeSection& reloc = after.sections[2];
  const std::vector<uint8_t> tree = WriteResourceTree(TreeOf(rebuilt), 0x2000);
  EXPECT_EQ(rsrc.virtualAddress, 0x2000u);
  EXPECT_EQ(rsrc.pointerToRawData, 0x400u);
  EXPECT_EQ(rsrc.virtualSize, tree.size());
  EXPECT_EQ(rsrc.sizeOfRawData, (tree.size() + 0x1FF) / 0x200 * 0x200);
  EXPECT_TRUE(std::equal(tree.begin(), tree.end(), rebuilt.begin() + 0x400));
  EXPECT_GT(rsrc.sizeOfRawData, before.sections[1].sizeOfRawData);  // the 256-pixel PNG

  const uint32_t pages = (rsrc.virtualSize + 0xFFF) / 0x1000 * 0x1000;
  EXPECT_EQ(reloc.virtualAddress, 0x2000u + pages);
  EXPECT_EQ(reloc.pointerToRawData, rsrc.pointerToRawData + rsrc.sizeOfRawData);
  EXPECT_EQ(reloc.virtualSize, before.sections[2].virtualSize);
  EXPECT_TRUE(std::equal(plain.begin() + before.sections[2].pointerToRawData,
                         plain.begin() + before.sections[2].pointerToRawData + 0x200,
                         rebuilt.begin() + reloc.pointerToRawData));
  EXPECT_EQ(after.Directory(kBaseRelocationDirectory).address, reloc.virtualAddress);
  EXPECT_EQ(after.Directory(kBaseRelocationDirectory).size, 12u);
  EXPECT_EQ(after.Directory(kResourceDirectory).address, 0x2000u);
  EXPECT_EQ(after.Directory(kResourceDirectory).size, tree.size());
  EXPECT_EQ(after.sizeOfImage, reloc.virtualAddress + 0x1000);
  const uint32_t initializedAt = kSyntheticOptionalHeader + 8;
  EXPECT_EQ(LoadU32(&rebuilt[initializedAt]) - LoadU32(&plain[initializedAt]),
            rsrc.sizeOfRawData - before.sections[1].sizeOfRawData);
  EXPECT_EQ(after.checkSum,
            ComputePeChecksum(rebuilt.data(), rebuilt.size(), after.checksumOffset));
  EXPECT_EQ(rebuilt.size(), after.rawDataEnd);
  // The headers and the code are as they were, but for the fields above.
  EXPECT_TRUE(std::equal(plain.begin() + 0x200, plain.begin() + 0x400, rebuilt.begin() + 0x200));
  EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + initializedAt, rebuilt.begin()));

  // Nothing asked, nothing changes but the layout of the tree itself.
  EXPECT_EQ(RebuildResourceSection(plain, TreeOf(plain)), plain);
}

TEST(RebuildResourceSection, RefusesImagesItCannotRebuildSafely) {
  std::vector<uint8_t> plain = LauncherImage();
  ResourceEntry tree = TreeOf(plain);
  std::vector<uint8_t> signedImage = plain;
  StoreU32(&signedImage[kSyntheticCertificateEntry], 0x800);
  StoreU32(&signedImage[kSyntheticCertificateEntry + 4], 8);
  EXPECT_THROW(RebuildResourceSection(signedImage, tree), PackError);
  std::vector<uint8_t> code = plain;
  const uint32_t relocDirectory = kSyntheticOptionalHeader + 112 + 40;
  StoreU32(&code[relocDirectory + 4], 0);  // the last section is no longer the relocations
  EXPECT_THROW(RebuildResourceSection(code, tree), PackError);
  // The synthetic image of the other tests keeps its tree inside .idata, after the imports.
  EXPECT_THROW(ApplyAppearance(SyntheticImage(), Publisher()), PackError);
}

// Every section from the resources on moves: a fix-up standing in one, or an address pointing
// into one, would be wrong afterwards, so the image is refused. Fix-ups and addresses that end
// just before the resources are fine.
TEST(RebuildResourceSection, RefusesRelocationsIntoTheSectionsThatMove) {
  const uint64_t base = 0x140000000ull;
  const uint32_t relocRva = Headers(LauncherImage()).sections[2].virtualAddress;
  // A 64-bit fix-up at 0x1008 holding the last byte before the resources, a 32-bit one ending
  // where the resources start, padding.
  std::vector<uint8_t> fine =
      WithRelocations(0x1000, {0xA008, 0x3FFC, 0x0000, 0x0000}, 0x8, base + 0x1FFF);
  EXPECT_EQ(RebuildRefusal(fine), "");
  EXPECT_NO_THROW(ApplyAppearance(fine, Publisher()));

  EXPECT_EQ(RebuildRefusal(WithRelocations(0x1000, {0xAFFC, 0})),
            "the launcher's resources cannot be rebuilt: its base relocations fix up RVA 0x1FFC, "
            "in its resources or a section after them, which move");
  EXPECT_NE(RebuildRefusal(WithRelocations(0x2000, {0xA010, 0})).find("fix up RVA 0x2010"),
            std::string::npos);
  EXPECT_NE(RebuildRefusal(WithRelocations(relocRva, {0x3000, 0})).find("fix up RVA"),
            std::string::npos);

  // The addresses the fix-ups adjust, 64-bit and 32-bit: the resources' first byte, and the
  // relocations' section.
  EXPECT_EQ(RebuildRefusal(WithRelocations(0x1000, {0xA008, 0}, 0x8, base + 0x2000)),
            "the launcher's resources cannot be rebuilt: its code or data at RVA 0x1008 holds the "
            "address 0x140002000, in its resources or a section after them, which move");
  EXPECT_NE(RebuildRefusal(WithRelocations(0x1000, {0x3010, 0}, 0x10, base + relocRva + 4))
                .find("holds the address"),
            std::string::npos);
  // Past the image, the address is not one of its own (nothing the move changes).
  EXPECT_EQ(RebuildRefusal(WithRelocations(0x1000, {0xA008, 0}, 0x8, base + 0x100000)), "");

  // Damaged blocks and fix-ups an x64 image does not use.
  std::vector<uint8_t> damaged = WithRelocations(0x1000, {0xA008, 0});
  StoreU32(&damaged[Headers(damaged).sections[2].pointerToRawData + 4], 6);
  EXPECT_NE(RebuildRefusal(damaged).find("wrong size (6 bytes)"), std::string::npos);
  damaged = WithRelocations(0x1000, {0xA008, 0});
  StoreU32(&damaged[Headers(damaged).sections[2].pointerToRawData + 4], 16);  // past its 12
  EXPECT_NE(RebuildRefusal(damaged).find("wrong size (16 bytes)"), std::string::npos);
  EXPECT_NE(RebuildRefusal(WithRelocations(0x1000, {0x4008, 0})).find("type 4"), std::string::npos);
}

// What the launcher needs stays byte for byte; only the icon and the version information change.
TEST(ApplyAppearance, ChangesOnlyTheIconAndTheVersionInformation) {
  const std::vector<uint8_t> plain = LauncherImage();
  const std::vector<uint8_t> rebuilt = ApplyAppearance(plain, Publisher());
  const ResourceEntry before = TreeOf(plain);
  const ResourceEntry after = TreeOf(rebuilt);
  for (uint32_t type : {kRtString, kRtMenu, kRtManifest}) {
    ASSERT_TRUE(before.Find(type) && after.Find(type)) << type;
    const ResourceEntry& old = *before.Find(type);
    const ResourceEntry& now = *after.Find(type);
    ASSERT_EQ(old.children.size(), now.children.size()) << type;
    for (size_t i = 0; i < old.children.size(); ++i) {
      EXPECT_EQ(old.children[i].id, now.children[i].id);
      ASSERT_EQ(now.children[i].children.size(), 1u);
      EXPECT_EQ(old.children[i].children[0].id, now.children[i].children[0].id);
      EXPECT_EQ(old.children[i].children[0].data, now.children[i].children[0].data) << type;
    }
  }
  EXPECT_EQ(FindResourceData(after, kRtMenu, IDR_MAIN_MENU)->data, LauncherMenuBytes());
  EXPECT_EQ(FindResourceData(after, kRtManifest, 1)->data, LauncherManifestBytes());
  EXPECT_FALSE(LauncherImageProblem(Headers(rebuilt), rebuilt.data(), rebuilt.size()));
  EXPECT_FALSE(LauncherResourceProblem(Headers(rebuilt), rebuilt.data(), rebuilt.size()));

  std::optional<ShownAppearance> shown = ReadAppearance(after);
  ASSERT_TRUE(shown);
  ASSERT_EQ(shown->icon.size(), 3u);
  EXPECT_EQ(shown->icon[0].width, 16u);
  EXPECT_EQ(shown->icon[1].width, 32u);
  EXPECT_EQ(shown->icon[2].width, 256u);
  EXPECT_FALSE(shown->icon[0].png);
  EXPECT_TRUE(shown->icon[2].png);
  ASSERT_EQ(after.Find(kRtIcon)->children.size(), 3u);  // the launcher's one image is gone
  const ResourceEntry* group = FindResourceData(after, kRtGroupIcon, IDI_APP_ICON);
  ASSERT_TRUE(group);
  EXPECT_EQ(group->id, 0x0411u);  // the group keeps its language
  ASSERT_TRUE(shown->version);
  EXPECT_EQ(shown->version->fileVersion, (std::array<uint16_t, 4>{2, 5, 0, 17}));
  EXPECT_EQ(shown->version->productVersion, (std::array<uint16_t, 4>{2, 5, 0, 0}));
  EXPECT_EQ(shown->version->language, 0x0409);
  EXPECT_EQ(shown->version->strings, Publisher().version->strings);
  EXPECT_EQ(FindResourceData(after, kRtVersion, 1)->id, 0x0409u);

  // A damaged menu or manifest, or a group naming a missing image, is found.
  ResourceEntry damaged = after;
  damaged.Find(kRtMenu)->children[0].children[0].data.back() ^= 1;
  std::vector<uint8_t> bad = RebuildResourceSection(rebuilt, damaged);
  EXPECT_EQ(LauncherResourceProblem(Headers(bad), bad.data(), bad.size()),
            std::optional<std::string>("its menu is not the launcher's"));
  damaged = after;
  damaged.Find(kRtManifest)->children[0].children[0].data.push_back(' ');
  bad = RebuildResourceSection(rebuilt, damaged);
  EXPECT_EQ(LauncherResourceProblem(Headers(bad), bad.data(), bad.size()),
            std::optional<std::string>("its manifest is not the launcher's"));
  damaged = after;
  damaged.Find(kRtIcon)->children.pop_back();
  bad = RebuildResourceSection(rebuilt, damaged);
  EXPECT_NE(LauncherResourceProblem(Headers(bad), bad.data(), bad.size()), std::nullopt);
}

// Known answer: the Linux and the Windows build of the tool run this same test, so both give
// these bytes for these inputs. A change here changes every customised launcher file.
TEST(ApplyAppearance, GivesTheSameBytesOnEveryPlatform) {
  const std::vector<uint8_t> rebuilt = ApplyAppearance(LauncherImage(), Publisher());
  EXPECT_EQ(rebuilt.size(), 271360u);
  EXPECT_EQ(Sha256Hex(rebuilt), "59c5fb498046c84b4d544a94354f4c60fc61a7769672834ae71471263777faeb");
}

TEST(IconFile, RefusesEmptyCutShortDamagedAndOversizedFiles) {
  const std::vector<uint8_t> good = SampleIcon();
  std::vector<IconImage> images = ReadIconFile(good, "a.ico");
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[2].width, 256u);
  EXPECT_TRUE(images[2].png);
  EXPECT_EQ(images[0].bitCount, 32);

  auto refusal = [](const std::vector<uint8_t>& bytes) {
    try {
      ReadIconFile(bytes, "a.ico");
    } catch (const PackError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal({}), "a.ico is empty");
  EXPECT_NE(refusal(std::vector<uint8_t>(good.begin(), good.end() - 1)).find("cut short"),
            std::string::npos);
  EXPECT_NE(refusal(std::vector<uint8_t>(good.begin(), good.begin() + 20)).find("cut short"),
            std::string::npos);
  std::vector<uint8_t> bad = good;
  bad[2] = 2;  // a cursor file
  EXPECT_NE(refusal(bad).find("not an icon"), std::string::npos);
  bad = good;
  bad[4] = bad[5] = 0;
  EXPECT_NE(refusal(bad).find("holds no image"), std::string::npos);
  bad = good;
  bad[LoadU32(&good[6 + 12])] = 41;  // the first bitmap's header size
  EXPECT_NE(refusal(bad).find("image 1 of 3 is damaged"), std::string::npos);
  bad = good;
  bad[LoadU32(&good[6 + 2 * 16 + 12]) + 1] = 'Q';  // the PNG's signature
  EXPECT_NE(refusal(bad).find("image 3 of 3 is damaged"), std::string::npos);
  bad = good;
  StoreU32(&bad[LoadU32(&good[6 + 12]) + 4], 300);  // a bitmap wider than 256 pixels
  EXPECT_NE(refusal(bad).find("damaged"), std::string::npos);
  bad = good;
  bad.resize(kLargestIconFile + 1);
  EXPECT_NE(refusal(bad).find("more than the 8388608"), std::string::npos);
}

TEST(VersionInfo, ReadsNumbersLanguagesAndStringsAsWindowsKeepsThem) {
  std::string problem;
  EXPECT_EQ(ParseVersionNumbers("1.2.3.4", &problem), (std::array<uint16_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(ParseVersionNumbers("7", &problem), (std::array<uint16_t, 4>{7, 0, 0, 0}));
  EXPECT_EQ(ParseVersionNumbers("65535.0.1", &problem), (std::array<uint16_t, 4>{65535, 0, 1, 0}));
  EXPECT_FALSE(ParseVersionNumbers("1.65536", &problem));
  EXPECT_NE(problem.find("65536, more than 65535"), std::string::npos) << problem;
  EXPECT_FALSE(ParseVersionNumbers("1.2000000", &problem));
  EXPECT_NE(problem.find("more than 65535"), std::string::npos) << problem;
  for (const char* bad : {"", "1.2.3.4.5", "1..2", "1.2.", "v1", "1.2-beta", " 1"})
    EXPECT_FALSE(ParseVersionNumbers(bad, &problem)) << bad;

  EXPECT_EQ(ParseLanguage("en-US"), 0x0409);
  EXPECT_EQ(ParseLanguage("ja_jp"), 0x0411);
  EXPECT_EQ(ParseLanguage("0x0407"), 0x0407);
  EXPECT_EQ(ParseLanguage("0C0A"), 0x0C0A);
  EXPECT_EQ(LanguageTag(0x0C0A), "es-ES");
  for (const char* bad : {"", "xx-YY", "en", "0x9999", "0x04090", "english"})
    EXPECT_FALSE(ParseLanguage(bad)) << bad;

  EXPECT_FALSE(VersionStringProblem(u"Example Product \u00e9 \u88fd\u54c1"));
  EXPECT_TRUE(VersionStringProblem(u"line\nbreak"));
  EXPECT_TRUE(VersionStringProblem(u"tab\t"));
  EXPECT_TRUE(VersionStringProblem(u"c1 \u0085"));
  EXPECT_TRUE(VersionStringProblem(u""));
  EXPECT_TRUE(VersionStringProblem(std::u16string(1025, u'x')));

  // Every block's length counts its key, value and children; the strings' value lengths count
  // UTF-16 units with the terminator, as the resource compiler writes them.
  VersionInfo info = *Publisher().version;
  std::vector<uint8_t> bytes = EncodeVersionInfo(info);
  EXPECT_EQ(LoadU16(&bytes[0]), bytes.size());
  EXPECT_EQ(LoadU16(&bytes[2]), 52);
  EXPECT_EQ(LoadU32(&bytes[40]), 0xFEEF04BDu);
  EXPECT_EQ(LoadU32(&bytes[48]), 0x00020005u);  // 2.5
  EXPECT_EQ(LoadU32(&bytes[52]), 0x00000011u);  // .0.17
  std::optional<VersionInfo> back = DecodeVersionInfo(bytes.data(), bytes.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->strings, info.strings);
  EXPECT_EQ(back->language, 0x0409);
  EXPECT_EQ(back->codePage, 1200);
  bytes[0] = 0xFF;  // longer than the data
  EXPECT_FALSE(DecodeVersionInfo(bytes.data(), bytes.size()));
}

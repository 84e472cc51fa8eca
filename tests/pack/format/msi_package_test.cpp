// The package reader: the Property table's fields from packages laid out in memory, every kind of
// damage to the compound file and to the database refused with its own message and never a crash,
// and the install scope as Windows Installer chooses it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pack/format/msi_package.h"
#include "tests/support/compound_file_builder.h"

namespace {

using Properties = std::vector<std::pair<std::string, std::string>>;

const Properties& kExample = kExampleProductProperties;

MsiPackageFields FieldsOf(const std::vector<uint8_t>& file) {
  return ReadMsiPackageFields(PackageBytes(file));
}

// The message of the PackageFormatError reading `file` gives, or "read" when it gives none.
std::string ProblemOf(const std::vector<uint8_t>& file) {
  try {
    FieldsOf(file);
  } catch (const PackageFormatError& e) {
    return e.what();
  }
  return "read";
}

size_t SectorAt(uint32_t sector) { return (size_t{sector} + 1) * 512; }

}  // namespace

TEST(MsiPackage, ReadsTheFieldsFromTheMiniStreamAndFromWholeSectors) {
  MsiPackageFields fields = FieldsOf(BuildCompoundFile(MsiPropertyStreams(kExample)));
  EXPECT_EQ(fields.productCode, "{3F1E6C2A-7B9D-4E58-A0C4-5D2B8E61F937}");
  EXPECT_EQ(fields.upgradeCode, "{6C0D6F1B-3E62-4E0C-9E4B-2A5D27A0B7C1}");
  EXPECT_EQ(fields.productVersion, "1.0.0");
  EXPECT_EQ(fields.productName, "Vossimere Example Product");
  EXPECT_EQ(fields.manufacturer, "Vossimere example publisher");
  EXPECT_EQ(fields.allUsers, "1");
  EXPECT_FALSE(fields.installPerUser);

  // Enough properties that the string data and the table lie in whole sectors, one string past
  // 64 KiB (two pool entries) and some 70000 strings, so that string numbers take 3 bytes.
  Properties many = kExample;
  many.emplace_back("LongText", std::string(70000, 'x') + "end");
  for (int i = 0; i < 70000; ++i) many.emplace_back("P" + std::to_string(i), std::to_string(i));
  many.emplace_back("MSIINSTALLPERUSER", "1");
  std::vector<uint8_t> file = BuildCompoundFile(MsiPropertyStreams(many, 65001, true));
  fields = FieldsOf(file);
  EXPECT_EQ(fields.productName, "Vossimere Example Product");
  EXPECT_EQ(fields.installPerUser, "1");
  PackageBytes bytes(file);
  Properties rows = ReadMsiProperties(CompoundFile(bytes));
  ASSERT_EQ(rows.size(), many.size());
  EXPECT_EQ(rows[6].second.size(), 70003u);
  EXPECT_EQ(rows[6].second.substr(69998), "xxend");
  EXPECT_EQ(rows[70006], many[70006]);
}

TEST(MsiPackage, ConvertsEachCodePageToUtf8) {
  Properties names = {{"ProductName", "Caf\xE9 \x80"}, {"Manufacturer", "\xC3\xA9t\xC3\xA9"}};
  EXPECT_EQ(FieldsOf(BuildCompoundFile(MsiPropertyStreams(names, 1252))).productName,
            "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(FieldsOf(BuildCompoundFile(MsiPropertyStreams(names, 0))).productName,
            "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(FieldsOf(BuildCompoundFile(MsiPropertyStreams(names, 28591))).productName,
            "Caf\xC3\xA9 \xC2\x80");
  MsiPackageFields utf8 = FieldsOf(BuildCompoundFile(MsiPropertyStreams(names, 65001)));
  EXPECT_EQ(utf8.manufacturer, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(utf8.productName, "Caf\xEF\xBF\xBD \xEF\xBF\xBD");  // not UTF-8: U+FFFD each
  EXPECT_EQ(FieldsOf(BuildCompoundFile(MsiPropertyStreams(names, 932))).manufacturer,
            "\xEF\xBF\xBD\xEF\xBF\xBDt\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(MsiPackage, RefusesADamagedCompoundFileWithAMessage) {
  CompoundLayout layout;
  const std::vector<uint8_t> good = BuildCompoundFile(MsiPropertyStreams(kExample), &layout);
  ASSERT_EQ(ProblemOf(good), "read");
  auto damaged = [&](auto change) {
    std::vector<uint8_t> file = good;
    change(file);
    return ProblemOf(file);
  };
  EXPECT_EQ(ProblemOf({}), "not a compound file: shorter than its 512-byte header");
  EXPECT_EQ(damaged([](auto& f) { f[0] = 'M'; }), "not a compound file: its signature is missing");
  EXPECT_EQ(damaged([](auto& f) { f[0x1E] = 10; }),
            "compound file header: version 3 with sectors of 2^10 bytes, not version 3 (512) or "
            "4 (4096)");
  EXPECT_EQ(damaged([](auto& f) { PutLe32(f, 0x2C, 0x7FFFFFFF); }),
            "compound file header: 2147483647 FAT sectors, more than the file holds");
  EXPECT_EQ(damaged([](auto& f) { PutLe32(f, 0x4C, 0xFFFFF); }),
            "compound file: a FAT sector lies outside the file");
  // More FAT sectors than the header names, and a DIFAT chain that points at itself.
  EXPECT_EQ(damaged([&](auto& f) {
              uint32_t difat = static_cast<uint32_t>(f.size() / 512 - 1);
              f.resize(f.size() + 300 * 512);
              PutLe32(f, SectorAt(difat) + 508, difat);
              PutLe32(f, 0x2C, 300);
              PutLe32(f, 0x44, difat);
              PutLe32(f, 0x48, 5);
              std::fill(f.begin() + 0x4C, f.begin() + 0x200, 0);
            }),
            "compound file: the DIFAT chain loops");
  EXPECT_EQ(damaged([](auto& f) { PutLe32(f, 0x2C, 2); }),
            "compound file: a FAT sector lies outside the file");
  // The directory's chain pointing back at its own sector: a loop, not an endless read.
  EXPECT_EQ(damaged([&](auto& f) {
              size_t fatAt = SectorAt(layout.firstFatSector);
              PutLe32(f, fatAt + 4 * layout.firstDirectorySector, layout.firstDirectorySector);
            }),
            "compound file: the directory chain loops");
  // A directory chained through more sectors than any package needs (16385 sectors of 4
  // entries), with a FAT long enough for them all that the DIFAT continues.
  EXPECT_EQ(damaged([&](auto& f) {
              const uint32_t count = 16385;
              uint32_t first = static_cast<uint32_t>(f.size() / 512 - 1);
              f.resize(f.size() + count * 512);
              uint32_t fatStart = static_cast<uint32_t>(f.size() / 512 - 1);
              uint32_t fatSectors = (fatStart + 300) / 128 + 1;
              uint32_t difat = fatStart + fatSectors;
              f.resize(f.size() + (fatSectors + 1) * 512, 0xFF);
              for (uint32_t i = 0; i < count; ++i)
                PutLe32(f, SectorAt(fatStart) + 4 * (first + i),
                        i + 1 < count ? first + i + 1 : 0xFFFFFFFE);
              for (uint32_t i = 0; i < fatSectors; ++i)
                PutLe32(f, i < 109 ? 0x4C + 4 * i : SectorAt(difat) + 4 * (i - 109), fatStart + i);
              PutLe32(f, SectorAt(difat) + 508, 0xFFFFFFFE);
              PutLe32(f, 0x2C, fatSectors);
              PutLe32(f, 0x44, difat);
              PutLe32(f, 0x48, 1);
              PutLe32(f, 0x30, first);
            }),
            "compound file: a directory of more than 65536 entries");
  EXPECT_EQ(damaged([&](auto& f) { PutLe32(f, 0x30, 0x00FFFFFF); }),
            "compound file: the directory chain leaves its table");
  EXPECT_EQ(damaged([&](auto& f) { f[SectorAt(layout.firstDirectorySector) + 66] = 1; }),
            "compound file: the directory does not begin with the root entry");
  // A stream that claims more than the whole file, and one whose chain ends before its size.
  size_t property = SectorAt(layout.firstDirectorySector) + 3 * 128;
  EXPECT_EQ(damaged([&](auto& f) { PutLe32(f, property + 120, 0xFFFFFFF0); }),
            "compound file: a stream of 4294967280 bytes, more than the file holds");
  EXPECT_EQ(damaged([&](auto& f) { PutLe32(f, property + 120, 3000); }),
            "compound file: a stream of 3000 bytes, more than the file holds");
  EXPECT_EQ(damaged([&](auto& f) { PutLe32(f, property + 116, 0x7FFF); }),
            "compound file: the stream chain leaves its table");
  // The root's tree looping back to the first stream: the Property stream is then not found.
  EXPECT_EQ(damaged([&](auto& f) {
              PutLe32(f, SectorAt(layout.firstDirectorySector) + 2 * 128 + 72, 1);
            }),
            "not a Windows Installer database: it has no Property stream");
  // A file cut short after its header.
  EXPECT_EQ(ProblemOf(std::vector<uint8_t>(good.begin(), good.begin() + 600)),
            "compound file: a FAT sector lies outside the file");
}

TEST(MsiPackage, RefusesADatabaseWhoseTablesDisagree) {
  auto problem = [](std::vector<BuiltStream> streams) {
    return ProblemOf(BuildCompoundFile(streams));
  };
  std::vector<BuiltStream> streams = MsiPropertyStreams(kExample);
  EXPECT_EQ(problem({streams[0], streams[1]}),
            "not a Windows Installer database: it has no Property stream");
  EXPECT_EQ(problem({streams[1], streams[2]}),
            "not a Windows Installer database: it has no _StringPool stream");
  std::vector<BuiltStream> changed = streams;
  changed[1].data.pop_back();
  EXPECT_EQ(problem(changed), "the string pool names more text than the string data holds");
  changed = streams;
  changed[1].data.push_back('x');
  EXPECT_EQ(problem(changed), "the string data holds 1 bytes the string pool does not account for");
  changed = streams;
  changed[0].data.pop_back();
  EXPECT_EQ(problem(changed), "the string pool's length, " +
                                  std::to_string(streams[0].data.size() - 1) +
                                  " bytes, is not a whole number of 4-byte entries");
  changed = streams;
  changed[2].data.pop_back();
  EXPECT_EQ(problem(changed), "the Property table's " + std::to_string(streams[2].data.size() - 1) +
                                  " bytes are not whole rows of two string columns");
  changed = streams;
  changed[2].data[0] = 0xFF;
  EXPECT_EQ(problem(changed), "the Property table refers to string " +
                                  std::to_string(0xFF | changed[2].data[1] << 8) +
                                  ", beyond the 12 in the string pool");
}

TEST(MsiPackage, ScopeFollowsAllUsersAndInstallPerUser) {
  auto scope = [](std::optional<std::string> allUsers, std::optional<std::string> perUser) {
    MsiPackageFields fields;
    fields.allUsers = allUsers;
    fields.installPerUser = perUser;
    std::optional<MsiScope> s = ScopeOf(fields);
    return s ? std::string(ScopeName(*s)) : std::string("unknown");
  };
  EXPECT_EQ(scope(std::nullopt, std::nullopt), "user");
  EXPECT_EQ(scope("", "1"), "user");
  EXPECT_EQ(scope("1", "1"), "machine");  // MSIINSTALLPERUSER counts only with ALLUSERS 2
  EXPECT_EQ(scope("2", std::nullopt), "machine");
  EXPECT_EQ(scope("2", ""), "machine");
  EXPECT_EQ(scope("2", "1"), "user");
  EXPECT_EQ(scope("3", std::nullopt), "unknown");
}

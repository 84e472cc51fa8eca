// The package reader: the Property table's fields from packages laid out in memory, every kind of
// damage to the compound file and to the database refused with its own message and never a crash,
// every code page read by the platform's converter, a table of many rows of one long string read
// without copies, the install scope as Windows Installer chooses it, and what the package's own
// signature digests.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pack/format/crypto.h"
#include "pack/format/msi_package.h"
#include "pack/format/msi_signed_content.h"
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

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// The SHA-256 (upper-case hex) of what MsiSignedContent hands out for the package at `path`,
// hashed by openssl.
std::string SignedContentSha256(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> package((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::path content = path;
  content += ".content";
  {
    std::ofstream out(content, std::ios::binary);
    MsiSignedContent(PackageBytes(package), [&](const uint8_t* bytes, size_t count) {
      out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    });
  }
  std::string hex = Shell("openssl dgst -sha256 -r '" + content.string() + "'");
  hex = hex.substr(0, hex.find(' '));
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return hex;
}

std::string UpperHex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (uint8_t byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

// The value osslsigncode verify prints after `label` (a digest in upper-case hex), or "".
std::string Printed(const std::string& report, const std::string& label) {
  size_t at = report.find(label);
  if (at == std::string::npos) return "";
  at = report.find(": ", at) + 2;
  return report.substr(at, report.find_first_of(" \n", at) - at);
}

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
  auto fields = [&](const Properties& rows, uint32_t codepage) {
    return FieldsOf(BuildCompoundFile(MsiPropertyStreams(rows, codepage)));
  };
  EXPECT_EQ(fields(names, 1252).productName, "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(fields(names, 0).productName, "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(fields(names, 28591).productName, "Caf\xC3\xA9 \xC2\x80");
  MsiPackageFields utf8 = fields(names, 65001);
  EXPECT_EQ(utf8.manufacturer, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(utf8.productName, "Caf\xEF\xBF\xBD \xEF\xBF\xBD");  // not UTF-8: U+FFFD each
  ASSERT_EQ(utf8.unconverted.size(), 1u);
  EXPECT_EQ(UnconvertedWarning(utf8, utf8.unconverted[0]),
            "ProductName: bytes that are not text in code page 65001; shown with U+FFFD in their "
            "place");
  EXPECT_FALSE(utf8.Converted("ProductName"));
  EXPECT_TRUE(utf8.Converted("Manufacturer"));

  // The double-byte and Cyrillic and Greek code pages packages are written in, each read by the
  // platform's converter: the same bytes mean other characters in each.
  Properties japanese = {{"ProductName", "\x93\xFA\x96\x7B\x8C\xEA \xB1"}};  // 日本語 ｱ
  MsiPackageFields cp932 = fields(japanese, 932);
  EXPECT_EQ(cp932.productName, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xEF\xBD\xB1");
  EXPECT_TRUE(cp932.unconverted.empty());
  EXPECT_EQ(cp932.codepage, 932u);
  EXPECT_EQ(fields({{"ProductName", "\xD6\xD0\xCE\xC4"}}, 936).productName,  // 中文
            "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(fields({{"ProductName", "\xCF\xF0\xEE\xE4\xF3\xEA\xF2"}}, 1251).productName,
            "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB4\xD1\x83\xD0\xBA\xD1\x82");  // Продукт
  EXPECT_EQ(fields({{"ProductName", "\xD0\xF1\xEF\xFA\xFC\xED"}}, 1253).productName,
            "\xCE\xA0\xCF\x81\xCE\xBF\xCF\x8A\xCF\x8C\xCE\xBD");  // Προϊόν
  // A lead byte at the end, with nothing to follow it: the field is not exact. The platform shows
  // it its own way (glibc: U+FFFD; Windows: the code page's default character, U+30FB in 932).
  MsiPackageFields cut = fields({{"ProductName", "A\x93"}}, 932);
  EXPECT_TRUE(cut.productName == "A\xEF\xBF\xBD" || cut.productName == "A\xE3\x83\xBB")
      << *cut.productName;
  EXPECT_FALSE(cut.Converted("ProductName"));

  // A code page no platform converts: ASCII stays, each other byte is U+FFFD, and only the fields
  // that needed the code page are marked.
  Properties unknown = {{"ProductCode", "{3F1E6C2A-7B9D-4E58-A0C4-5D2B8E61F937}"},
                        {"ProductName", "Caf\xE9"}};
  MsiPackageFields none = fields(unknown, 12345);
  EXPECT_EQ(none.productCode, unknown[0].second);
  EXPECT_EQ(none.productName, "Caf\xEF\xBF\xBD");
  ASSERT_EQ(none.unconverted.size(), 1u);
  EXPECT_EQ(UnconvertedWarning(none, none.unconverted[0]),
            "ProductName: code page 12345 cannot be converted on this platform; shown with U+FFFD "
            "in their place");
}

// One string of 1 MiB named in both columns of many rows: the reader keeps the string once and
// converts only the rows it reports, so the 20000 rows (40 GB as copies) read in a few MiB.
TEST(MsiPackage, ReadsATableOfManyRowsOfOneLongStringOnce) {
  const std::string huge(1 << 20, 'x');
  for (size_t rows : {800u, 20000u}) {
    Properties hostile = kExample;
    hostile.emplace_back(huge, huge);
    hostile.emplace_back("ProductName", "after the rows");
    std::vector<BuiltStream> streams = MsiPropertyStreams(hostile);
    RepeatPropertyRow(streams, kExample.size(), rows);
    std::vector<uint8_t> file = BuildCompoundFile(streams);
    // The null string, the example's twelve, the long one and "after the rows": no copies.
    ASSERT_EQ(ReadMsiStringPool(streams[0].data, streams[1].data).Count(), 2 * kExample.size() + 3);
    ASSERT_EQ(streams[2].data.size(), (kExample.size() + 1 + rows) * 4);
    ASSERT_LT(file.size(), size_t{1200000});
    MsiPackageFields fields = FieldsOf(file);
    EXPECT_EQ(fields.productName, "Vossimere Example Product");  // the first row of a name
    EXPECT_EQ(fields.productVersion, "1.0.0");
  }
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

// The package's own signature covers what MsiSignedContent hands out: osslsigncode signs a package
// with streams in the mini stream and in whole sectors, named out of the signers' order, and the
// digest in its signature is the SHA-256 of those bytes; one changed byte of a stream changes it.
TEST(MsiPackage, SignedContentIsWhatTheSignatureDigests) {
  if (Shell("osslsigncode --version 2>&1").find("osslsigncode") == std::string::npos ||
      Shell("openssl version 2>&1").find("OpenSSL") == std::string::npos)
    GTEST_SKIP() << "osslsigncode or openssl is not installed here (the Linux host build has both)";
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("msi_signed_content_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::vector<BuiltStream> streams = MsiPropertyStreams(kExample);
  streams.push_back({u"Binary.Zeta", std::vector<uint8_t>(9000, 0x5A)});
  streams.push_back({u"Binary.Alpha", std::vector<uint8_t>(300, 0x41)});
  streams.push_back({u"\x0005SummaryInformation", std::vector<uint8_t>(200, 0x05)});
  streams.push_back({u"Binary.Al", std::vector<uint8_t>(5, 0x42)});
  std::vector<uint8_t> package = BuildCompoundFile(streams);
  std::ofstream((dir / "unsigned.msi").string(), std::ios::binary)
      .write(reinterpret_cast<const char*>(package.data()),
             static_cast<std::streamsize>(package.size()));
  std::string d = "'" + dir.string() + "/";
  Shell("openssl req -x509 -newkey rsa:2048 -nodes -keyout " + d + "key.pem' -out " + d +
        "cert.pem' -subj /CN=Signer -days 2 2>&1");
  Shell("osslsigncode sign -certs " + d + "cert.pem' -key " + d + "key.pem' -h sha256 -in " + d +
        "unsigned.msi' -out " + d + "signed.msi' 2>&1");
  std::string report = Shell("osslsigncode verify -in " + d + "signed.msi' 2>&1");
  size_t at = report.find("Current DigitalSignature");
  ASSERT_NE(at, std::string::npos) << report;
  at = report.find(": ", at) + 2;
  std::string signedDigest = report.substr(at, 64);

  EXPECT_EQ(SignedContentSha256(dir / "signed.msi"), signedDigest);
  EXPECT_EQ(SignedContentSha256(dir / "unsigned.msi"), signedDigest);  // the signature left out

  // One byte of the Property table changed, where the builder put it: another digest.
  std::ifstream in(dir / "signed.msi", std::ios::binary);
  std::vector<uint8_t> changed((std::istreambuf_iterator<char>(in)), {});
  in.close();
  std::vector<uint8_t> property = streams[2].data;
  auto found = std::search(changed.begin(), changed.end(), property.begin(), property.end());
  ASSERT_NE(found, changed.end());
  *found ^= 1;
  std::ofstream((dir / "changed.msi").string(), std::ios::binary)
      .write(reinterpret_cast<const char*>(changed.data()),
             static_cast<std::streamsize>(changed.size()));
  EXPECT_NE(SignedContentSha256(dir / "changed.msi"), signedDigest);

  // Signed with MsiDigitalSignatureEx: that stream is the hash of MsiSignedMetadata, and the
  // signature's digest the hash of that hash followed by the contents, as osslsigncode computes
  // them (SHA-384 here, so that the algorithm is the signature's own).
  Shell("osslsigncode sign -add-msi-dse -certs " + d + "cert.pem' -key " + d +
        "key.pem' -h sha384 -in " + d + "unsigned.msi' -out " + d + "signed-ex.msi' 2>&1");
  report = Shell("osslsigncode verify -in " + d + "signed-ex.msi' 2>&1");
  std::ifstream inEx(dir / "signed-ex.msi", std::ios::binary);
  std::vector<uint8_t> signedEx((std::istreambuf_iterator<char>(inEx)), {});
  Hash metadata(HashAlgorithm::kSha384);
  MsiSignedMetadata(PackageBytes(signedEx),
                    [&](const uint8_t* bytes, size_t count) { metadata.Add(bytes, count); });
  std::vector<uint8_t> prehash = metadata.Finish();
  ASSERT_EQ(Printed(report, "Current MsiDigitalSignatureEx").size(), 96u) << report;
  EXPECT_EQ(UpperHex(prehash), Printed(report, "Current MsiDigitalSignatureEx"));
  Hash whole(HashAlgorithm::kSha384);
  whole.Add(prehash.data(), prehash.size());
  MsiSignedContent(PackageBytes(signedEx),
                   [&](const uint8_t* bytes, size_t count) { whole.Add(bytes, count); });
  EXPECT_EQ(UpperHex(whole.Finish()), Printed(report, "Current DigitalSignature"));
  // The metadata names each stream and its size: a renamed stream changes it.
  MsiSignatureStreams read = ReadMsiSignatureStreams(PackageBytes(signedEx), 1 << 20);
  ASSERT_TRUE(read.signature && read.signatureEx);
  EXPECT_EQ(*read.signatureEx, prehash);
  std::vector<uint8_t> renamed = signedEx;
  const uint8_t zeta[] = {'Z', 0, 'e', 0, 't', 0, 'a', 0};
  auto name = std::search(renamed.begin(), renamed.end(), std::begin(zeta), std::end(zeta));
  ASSERT_NE(name, renamed.end());
  *name = 'Y';
  Hash again(HashAlgorithm::kSha384);
  MsiSignedMetadata(PackageBytes(renamed),
                    [&](const uint8_t* bytes, size_t count) { again.Add(bytes, count); });
  EXPECT_NE(again.Finish(), prehash);
  fs::remove_all(dir);
}

// A damaged directory cannot make the digest cover the package many times over: a stream reached
// from two storages, a storage inside itself, and streams that share their sectors are refused,
// and a sound package hands out no more bytes than it has.
TEST(MsiPackage, SignedContentOfADamagedDirectoryIsBounded) {
  CompoundLayout layout;
  std::vector<BuiltStream> streams = MsiPropertyStreams(kExample);
  streams.push_back({u"Binary.Big", std::vector<uint8_t>(200000, 0x5A)});
  streams.push_back({u"Binary.Small", std::vector<uint8_t>(100, 0x41)});
  const std::vector<uint8_t> good = BuildCompoundFile(streams, &layout);
  auto signedBytes = [](const std::vector<uint8_t>& file) -> std::string {
    uint64_t total = 0;
    try {
      MsiSignedContent(PackageBytes(file), [&](const uint8_t*, size_t count) { total += count; });
      MsiSignedMetadata(PackageBytes(file), [](const uint8_t*, size_t) {});
    } catch (const PackageFormatError& e) {
      return e.what();
    }
    return std::to_string(total);
  };
  // The three table streams, the two binaries and the root's CLSID.
  uint64_t content = 16 + 200000 + 100;
  for (size_t i = 0; i < 3; ++i) content += streams[i].data.size();
  EXPECT_EQ(signedBytes(good), std::to_string(content));
  EXPECT_LE(content, good.size());

  const size_t directory = SectorAt(layout.firstDirectorySector);
  const size_t big = directory + 4 * 128, small = directory + 5 * 128;
  // Binary.Small made a storage holding Binary.Big, which the root holds too.
  std::vector<uint8_t> twice = good;
  twice[small + 66] = 1;
  PutLe32(twice, small + 68, 0xFFFFFFFF);
  PutLe32(twice, small + 72, 0xFFFFFFFF);
  PutLe32(twice, small + 76, 4);
  EXPECT_EQ(signedBytes(twice), "compound file: the directory reaches one entry twice");
  // ... and Binary.Big a storage holding Binary.Small: two storages inside each other.
  twice[big + 66] = 1;
  PutLe32(twice, big + 76, 5);
  EXPECT_EQ(signedBytes(twice), "compound file: the directory reaches one entry twice");
  // Binary.Small naming Binary.Big's sectors and size: twice the big stream is more than the file.
  std::vector<uint8_t> shared = good;
  std::copy(good.begin() + static_cast<std::ptrdiff_t>(big + 116),
            good.begin() + static_cast<std::ptrdiff_t>(big + 128),
            shared.begin() + static_cast<std::ptrdiff_t>(small + 116));
  EXPECT_EQ(signedBytes(shared),
            "compound file: the streams together hold more bytes than the package");
}

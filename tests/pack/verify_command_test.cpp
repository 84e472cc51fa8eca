// vossimere-pack verify on purpose-made launcher files: a sound file passes, and each broken
// rule, made by one mutation of a sound file (its checksum set again where the rule is not the
// checksum), is reported on its own line with exit code 1.
#include <filesystem>

#include "launch/anchor_record.h"
#include "tests/pack/pack_tool_fixture.h"
#include "tests/pack/synthetic_image.h"

namespace {

// Offsets in GoodLauncher(SampleContents()): stub 0x600 bytes, installer 3001 bytes at 1536,
// package 5000 bytes at 4544, trailer at 9600.
constexpr uint32_t kPackageAt = 4544;
constexpr uint32_t kTrailerAt = 9600;

std::vector<uint8_t> Sound() { return GoodLauncher(SampleContents()); }

std::vector<uint8_t> WithRecordField(int field, uint32_t value) {
  std::vector<uint8_t> file = Sound();
  StoreU32(&file[kTrailerAt + field], value);
  SetChecksum(file);
  return file;
}

}  // namespace

class VerifyTest : public PackToolTest {
 protected:
  // The lines verify prints for `file`, with the file name and ": " taken off.
  std::vector<std::string> Broken(const std::vector<uint8_t>& file, int expectedCode = 1) {
    WriteFile("launcher.exe", file);
    ToolRun run = Run({"verify", PathOf("launcher.exe")});
    EXPECT_EQ(run.code, expectedCode) << run.err;
    std::vector<std::string> lines;
    std::string prefix = PathOf("launcher.exe") + ": ";
    for (size_t at = 0; at < run.err.size();) {
      size_t end = run.err.find('\n', at);
      std::string line = run.err.substr(at, end - at);
      EXPECT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
      lines.push_back(line.substr(prefix.size()));
      at = end + 1;
    }
    return lines;
  }

  static std::vector<std::string> Rules(const std::vector<std::string>& lines) {
    std::vector<std::string> rules;
    for (const std::string& line : lines) rules.push_back(line.substr(0, line.find(':')));
    return rules;
  }
};

TEST_F(VerifyTest, ASoundFilePassesAndReportsItsRoom) {
  WriteFile("launcher.exe", Sound());
  ToolRun run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // The trailer is 44 + 2 * (11 + 39 + 10 + 15) = 194 bytes.
  EXPECT_EQ(run.out, PathOf("launcher.exe") +
                         ": every rule holds; not signed; 130878 bytes of the 128 KiB window left\n");
}

TEST_F(VerifyTest, ReportsEachBrokenLayoutRuleOnItsOwn) {
  using Rules_ = std::vector<std::string>;
  EXPECT_EQ(Rules(Broken(WithRecordField(kStubLengthAt, 0x601))), Rules_{"stub-length"});

  std::vector<uint8_t> gap = Sound();
  gap[kPackageAt - 1] = 1;
  SetChecksum(gap);
  EXPECT_EQ(Broken(gap), Rules_{"gap: byte 4543 between the installer and the package is not zero"});

  std::vector<uint8_t> trailerGap = Sound();
  trailerGap[kTrailerAt - 1] = 1;
  SetChecksum(trailerGap);
  EXPECT_EQ(Broken(trailerGap), Rules_{"gap: byte 9599 between the package and the trailer is not zero"});

  std::vector<uint8_t> checksum = Sound();
  checksum[kSyntheticChecksumField] ^= 1;
  EXPECT_EQ(Rules(Broken(checksum)), Rules_{"checksum"});

  // The installer built in the launcher's place: a program, but not the launcher.
  LauncherContents swapped = SampleContents();
  SyntheticImageOptions installer;
  installer.windowTitle = u"Setup";
  swapped.stub = SyntheticImage(installer);
  EXPECT_EQ(Broken(GoodLauncher(swapped)),
            Rules_{"launcher: the image is not the Vossimere launcher: its string 103 is \"Setup\", "
                   "not the launcher's \"Vossimere\""});

  // Zeros to the next multiple of 8 (what removing a signature leaves) are fine; more are not.
  std::vector<uint8_t> padded = Sound();
  padded.resize(9800, 0);
  SetChecksum(padded);
  EXPECT_EQ(Broken(padded, 0), Rules_{});
  std::vector<uint8_t> tail = Sound();
  tail.resize(9802, 0);
  SetChecksum(tail);
  EXPECT_EQ(Broken(tail), Rules_{"after-names: 8 bytes follow the names block, and no certificate "
                                 "table is declared"});
  std::vector<uint8_t> junk = Sound();
  junk.push_back(7);
  SetChecksum(junk);
  EXPECT_EQ(Rules(Broken(junk)), Rules_{"after-names"});
}

TEST_F(VerifyTest, ReportsNamesThatWouldLeaveTheExtractionFolder) {
  using Rules_ = std::vector<std::string>;
  LauncherContents contents = SampleContents();
  contents.names.folderName = u"..";
  contents.names.installerName = u"..\\setup.exe";
  contents.names.packageName = u"NUL";
  std::vector<std::string> lines = Broken(GoodLauncher(contents));
  ASSERT_EQ(Rules(lines), (Rules_{"names", "names", "names"}));
  EXPECT_NE(lines[0].find("folderName \"..\""), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("installerName \"..\\setup.exe\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("packageName \"NUL\""), std::string::npos) << lines[2];

  contents = SampleContents();
  contents.names.packageName = u"SETUP.exe";
  contents.names.installerName = u"setup.EXE";
  EXPECT_EQ(Broken(GoodLauncher(contents)),
            Rules_{"names: installerName and packageName are the same file name; the package "
                   "would overwrite the installer"});
}

TEST_F(VerifyTest, ReportsMisplacedEmbeddedFiles) {
  using Rules_ = std::vector<std::string>;
  // The package 16 bytes further on: still ending before the trailer's boundary.
  EXPECT_EQ(Rules(Broken(WithRecordField(kPackageOffsetAt, kPackageAt + 16))),
            Rules_{"package-offset"});
  EXPECT_EQ(Rules(Broken(WithRecordField(kPackageSizeAt, 5000 + 128))),
            (Rules_{"trailer-offset"}));
  EXPECT_EQ(Rules(Broken(WithRecordField(kInstallerOffsetAt, 0x200))),
            (Rules_{"stub-length", "installer-offset", "package-offset"}));
  EXPECT_EQ(Rules(Broken(WithRecordField(kPackageSizeAt, 1u << 30))),
            (Rules_{"package-range", "trailer-offset"}));
  EXPECT_EQ(Rules(Broken(WithRecordField(kInstallerSizeAt, 0xFFFFFFFF))),
            (Rules_{"installer-range", "package-offset"}));
}

TEST_F(VerifyTest, RefusesWhatTheLauncherSearchRefuses) {
  using Rules_ = std::vector<std::string>;
  EXPECT_EQ(Rules(Broken(WithRecordField(kMagicTailAt, 0x66BB55AC))), Rules_{"anchor"});

  LauncherContents emptyName = SampleContents();
  emptyName.names.packageName = u"";
  std::vector<std::string> lines = Broken(GoodLauncher(emptyName));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].compare(0, 25, "names: packageName of the"), 0) << lines[0];

  // A record at offset 0 is never taken: a bare trailer as the whole file.
  std::vector<uint8_t> bare = EncodeTrailer(MakeAnchorRecord(0, 0, 0, 0, 0, 0, 0), SampleNames());
  EXPECT_EQ(Rules(Broken(bare)), (Rules_{"image", "anchor"}));

  // The launcher reads its own length as a signed 32-bit value.
  WriteFile("launcher.exe", Sound());
  std::filesystem::resize_file(folder_ / "launcher.exe", 0x80000000ull);
  ToolRun run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(": length: the file is 2147483648 bytes"), std::string::npos) << run.err;
}

TEST_F(VerifyTest, ReportsMagicValuesTheLauncherWouldTakeBeforeTheTrailer) {
  // A copy of the two magics with four one-letter names after it, on the 128-byte boundary 4608
  // inside the package: the launcher would take it, and verify says so.
  LauncherContents contents = SampleContents();
  std::vector<uint8_t> fake = EncodeTrailer(MakeAnchorRecord(1, 2, 3, 4, 5, 6, 7),
                                            TrailerNames{u"A", u"B", u"C", u"D"});
  std::copy(fake.begin(), fake.end(), contents.package.begin() + (4608 - kPackageAt));
  std::vector<std::string> lines = Broken(GoodLauncher(contents));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "false-anchor: the magic values at byte 4608 come before the trailer at "
                      "byte 9600; the launcher takes the first");
}

TEST_F(VerifyTest, ChecksTheCertificateTableOfASignedFile) {
  using Rules_ = std::vector<std::string>;
  const uint32_t entry = kSyntheticOptionalHeader + 112 + 32;
  std::vector<uint8_t> file = Sound();
  const uint32_t namesEnd = static_cast<uint32_t>(file.size());  // 9794: padded to 9800
  auto sign = [&](uint32_t at, uint32_t size, uint32_t firstLength) {
    std::vector<uint8_t> signedFile = file;
    signedFile.resize(at + size, 0);
    StoreU32(&signedFile[at], firstLength);
    StoreU32(&signedFile[entry], at);
    StoreU32(&signedFile[entry + 4], size);
    SetChecksum(signedFile);
    return signedFile;
  };
  WriteFile("launcher.exe", sign(9800, 64, 64));
  ToolRun run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("certificate table at byte 9800, 64 bytes; 130808 bytes"), std::string::npos)
      << run.out;

  EXPECT_EQ(Rules(Broken(sign(9808, 64, 64))), Rules_{"certificate"});
  EXPECT_EQ(Rules(Broken(sign(9800, 64, 72))), Rules_{"certificate"});
  std::vector<uint8_t> padding = sign(9800, 64, 64);
  padding[namesEnd] = 1;
  SetChecksum(padding);
  EXPECT_EQ(Broken(padding),
            Rules_{"gap: byte 9794 between the names and the certificate table is not zero"});
  // A table declared beyond the end of the file: reported, not read.
  std::vector<uint8_t> pastTheEnd = file;
  StoreU32(&pastTheEnd[entry], 9800);
  StoreU32(&pastTheEnd[entry + 4], 64);
  SetChecksum(pastTheEnd);
  EXPECT_EQ(Broken(pastTheEnd), Rules_{"certificate: the certificate table at byte 9800 lies beyond "
                                       "the end of the file (9794)"});
  std::vector<uint8_t> overhang = sign(9800, 64, 64);
  overhang.push_back(0);
  overhang.push_back(0);
  SetChecksum(overhang);
  EXPECT_EQ(Rules(Broken(overhang)), Rules_{"certificate"});
}

TEST_F(VerifyTest, JsonGivesEveryRuleWithItsResultAndMessages) {
  WriteFile("launcher.exe", Sound());
  ToolRun run = Run({"verify", "--json", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  std::string holds;
  for (const char* rule : {"length", "image", "launcher", "anchor", "names", "false-anchor",
                           "installer-range", "package-range", "stub-length", "installer-offset",
                           "package-offset", "trailer-offset", "gap", "after-names", "certificate",
                           "checksum"})
    holds += std::string(holds.empty() ? "" : ",") + "{\"rule\":\"" + rule +
             "\",\"result\":\"holds\",\"messages\":[]}";
  std::string file = "{\"file\":\"" + JsonPath(PathOf("launcher.exe")) + "\",";
  EXPECT_EQ(run.out, file + "\"holds\":true,\"rules\":[" + holds + "],\"roomLeft\":130878}\n");

  // A broken rule with its message on the standard output only; what the missing trailer leaves
  // unchecked says so.
  std::vector<uint8_t> bare = stub_;
  SetChecksum(bare);
  bare[kSyntheticChecksumField] ^= 1;
  WriteFile("bare.exe", bare);
  run = Run({"verify", PathOf("bare.exe"), "--json"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "");
  for (const char* part :
       {"\"holds\":false,\"rules\":[{\"rule\":\"length\",\"result\":\"holds\",\"messages\":[]},",
        "{\"rule\":\"anchor\",\"result\":\"broken\",\"messages\":[\"no 128-byte boundary in the "
        "last 128 KiB carries both magic values; the launcher finds no trailer\"]}",
        "{\"rule\":\"gap\",\"result\":\"not-checked\",\"messages\":[]}",
        "{\"rule\":\"checksum\",\"result\":\"broken\",\"messages\":[\"the image checksum is 0x",
        "],\"roomLeft\":null}\n"})
    EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
}

TEST_F(VerifyTest, UsageAndUnreadableFilesExitWith2) {
  EXPECT_EQ(Run({"verify"}).code, 2);
  EXPECT_EQ(Run({"verify", "a", "b"}).code, 2);
  ToolRun run = Run({"verify", PathOf("missing.exe")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot find"), std::string::npos);
  run = Run({"verify", "-"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("FILE is '-', but the tool cannot read from the standard input"),
            std::string::npos)
      << run.err;
}

// vossimere-pack inspect, extract, --help and --version: the round trip from a built file back to
// the publisher's inputs, and the texts a user reads.
#include <filesystem>

#include "launch/anchor_record.h"
#include "pack/format/pe_checksum.h"
#include "pack/io/file_time.h"
#include "pack/io/path_text.h"
#include "tests/pack/cli/pack_tool_fixture.h"
#include "tests/support/compound_file_builder.h"
#include "tests/support/json_check.h"
#include "tests/support/synthetic_image.h"

namespace {

const std::string kFolder = "{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}";

}  // namespace

TEST_F(PackToolTest, InspectShowsTheRecordNamesTimesAndChecksum) {
  ASSERT_EQ(Build("out.exe", {"--folder", kFolder}).code, 0);
  std::vector<uint8_t> built = ReadFile("out.exe");
  char checksum[16];
  std::snprintf(checksum, sizeof checksum, "0x%08X", LoadU32(&built[kSyntheticChecksumField]));
  ToolRun run = Run({"inspect", PathOf("out.exe")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out,
            "file:              " + PathOf("out.exe") +
                "\n"
                "length:            9794 bytes\n"
                "window:            bytes 0 to 9794 (9794 bytes)\n"
                "trailer:           at byte 9600 (window offset 9600)\n"
                "title:             Corvalinth\n"
                "folderName:        " +
                kFolder +
                "\n"
                "installerName:     setup.exe\n"
                "packageName:       Corvalinth.msi\n"
                "magicHead:         0x55AA66BC\n"
                "stubLength:        1536\n"
                "installerTime:     2024-02-29T12:00:00.1234567Z (FILETIME 133536816001234567)\n"
                "packageTime:       2024-02-29T13:00:00Z (FILETIME 133536852000000000)\n"
                "installerOffset:   1536\n"
                "installerSize:     3001\n"
                "packageOffset:     4544\n"
                "packageSize:       5000\n"
                "magicTail:         0x66BB55AB\n"
                "names end:         byte 9794\n"
                "checksum:          stored " +
                std::string(checksum) + ", computed " + checksum +
                "\n"
                "certificate table: none\n"
                "room left:         130878 bytes of the 128 KiB window after the names and the "
                "certificate table\n"
                "icon:              none\n"
                "version:           none\n"
                "sha256:            " +
                Sha256Hex(built) +
                "\n"
                "package:           not read: not a compound file: its signature is missing\n");
}

TEST_F(PackToolTest, InspectJsonHasStableKeys) {
  ASSERT_EQ(Build("out.exe", {"--folder", kFolder}).code, 0);
  std::vector<uint8_t> built = ReadFile("out.exe");
  uint32_t checksum = LoadU32(&built[kSyntheticChecksumField]);
  ToolRun run = Run({"inspect", "--json", PathOf("out.exe")});
  ASSERT_EQ(run.code, 0) << run.err;
  std::string expected =
      "{\"file\":\"" + JsonPath(PathOf("out.exe")) +
      "\",\"length\":9794,\"windowStart\":0,"
      "\"windowLength\":9794,\"trailer\":{\"offset\":9600,\"windowOffset\":9600,\"accepted\":true},"
      "\"names\":{\"title\":\"Corvalinth\",\"folderName\":\"" +
      kFolder +
      "\","
      "\"installerName\":\"setup.exe\",\"packageName\":\"Corvalinth.msi\"},"
      "\"record\":{\"magicHead\":1437230780,\"stubLength\":1536,"
      "\"installerTime\":\"2024-02-29T12:00:00.1234567Z\",\"installerFiletime\":"
      "\"133536816001234567\","
      "\"packageTime\":\"2024-02-29T13:00:00Z\",\"packageFiletime\":\"133536852000000000\","
      "\"installerOffset\":1536,\"installerSize\":3001,\"packageOffset\":4544,"
      "\"packageSize\":5000,\"magicTail\":1723553195},\"namesEnd\":9794,"
      "\"checksum\":{\"stored\":" +
      std::to_string(checksum) + ",\"computed\":" + std::to_string(checksum) +
      "},\"certificateTable\":null,\"roomLeft\":130878,\"icon\":[],\"versionInfo\":null,"
      "\"sha256\":\"" +
      Sha256Hex(built) +
      "\",\"package\":{\"problem\":\"not a compound file: its signature is missing\"}}\n";
  EXPECT_EQ(run.out, expected);

  ToolRun quoted = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer",
                        PathOf("setup.exe"), "--package", PathOf("Corvalinth.msi"), "--title",
                        "Say \"hi\" \\ 日本", "-o", PathOf("quoted.exe")});
  ASSERT_EQ(quoted.code, 0) << quoted.err;
  run = Run({"inspect", PathOf("quoted.exe"), "--json"});
  EXPECT_NE(run.out.find("\"title\":\"Say \\\"hi\\\" \\\\ \\u65e5\\u672c\""), std::string::npos)
      << run.out;

  // A certificate table that runs past the end of the file is flagged.
  const uint32_t entry = kSyntheticOptionalHeader + 112 + 32;
  for (uint32_t size : {8u, 9u}) {
    std::vector<uint8_t> table = built;
    table.resize(9800 + 8, 0);
    StoreU32(&table[entry], 9800);
    StoreU32(&table[entry + 4], size);
    WriteFile("table.exe", table);
    run = Run({"inspect", "--json", PathOf("table.exe")});
    std::string flag = size == 8 ? "false" : "true";
    EXPECT_NE(
        run.out.find("\"certificateTable\":{\"offset\":9800,\"size\":" + std::to_string(size) +
                     ",\"pastEnd\":" + flag + ",\"uncoveredBytes\":null}"),
        std::string::npos)
        << run.out;
  }
}

// The fields winget, Intune and Chocolatey ask for, from the package's Property table; a value
// from the package is escaped like every other text from the file.
TEST_F(PackToolTest, InspectShowsThePackagesProductCodesNamesAndScope) {
  WriteFile("Corvalinth.msi", BuildCompoundFile(MsiPropertyStreams(
                                  {{"ProductCode", "{11111111-2222-3333-4444-555555555555}"},
                                   {"ProductName", "Corvalinth \x1B[2J"},
                                   {"ALLUSERS", "2"},
                                   {"MSIINSTALLPERUSER", "1"}})));
  ASSERT_EQ(Build("out.exe").code, 0);
  ToolRun run = Run({"inspect", PathOf("out.exe")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("\nsha256:            " + Sha256Hex(ReadFile("out.exe")) +
                         "\n"
                         "ProductCode:       {11111111-2222-3333-4444-555555555555}\n"
                         "UpgradeCode:       (not set)\n"
                         "ProductVersion:    (not set)\n"
                         "ProductName:       Corvalinth \\u001b[2J\n"
                         "Manufacturer:      (not set)\n"
                         "ALLUSERS:          2\n"
                         "MSIINSTALLPERUSER: 1\n"
                         "scope:             user\n"),
            std::string::npos)
      << run.out;
  run = Run({"inspect", "--json", PathOf("out.exe")});
  EXPECT_NE(run.out.find("\"package\":{\"problem\":null,\"ProductCode\":"
                         "\"{11111111-2222-3333-4444-555555555555}\",\"UpgradeCode\":null,"
                         "\"ProductVersion\":null,\"ProductName\":\"Corvalinth \\u001b[2J\","
                         "\"Manufacturer\":null,\"ALLUSERS\":\"2\",\"MSIINSTALLPERUSER\":\"1\","
                         "\"scope\":\"user\",\"warnings\":[]}}\n"),
            std::string::npos)
      << run.out;

  // A damaged package is reported, and the launcher file's own report stands (exit code 0).
  std::vector<uint8_t> broken = BuildCompoundFile(MsiPropertyStreams({{"ALLUSERS", "1"}}));
  PutLe32(broken, 0x30, 0x00FFFFFF);
  WriteFile("Corvalinth.msi", broken);
  ASSERT_EQ(Build("broken.exe").code, 0);
  run = Run({"inspect", PathOf("broken.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("\npackage:           not read: compound file: the directory chain "
                         "leaves its table\n"),
            std::string::npos)
      << run.out;
}

// Both JSON reports are pure ASCII (PowerShell decodes a program's output with the console's
// code page) and parse strictly whatever the title, the names and the file's own name hold.
TEST_F(PackToolTest, JsonReportsAreStrictAsciiJsonForAnyTitleAndFileName) {
  LauncherContents contents = SampleContents();
  contents.names.title = u"コルヴァリンス \U0001F600\t\u007F";
  contents.names.installerName = u"セットアップ.exe";
  contents.names.packageName = std::u16string(u"a") + char16_t(0xDC00) + u".msi";  // unpaired
  std::vector<std::string> names = {"日本語.exe"};
#ifndef _WIN32
  names.push_back("caf\xe9 \xff.exe");  // Latin-1 bytes: a Linux name need not be UTF-8
#endif
  for (const std::string& name : names) {
    WriteFile(name, GoodLauncher(contents));
    for (const char* command : {"inspect", "verify"}) {
      ToolRun run = Run({command, "--json", PathOf(name)});
      EXPECT_TRUE(JsonCheck(run.out).Whole()) << run.out;
      EXPECT_TRUE(PureAscii(run.out)) << run.out;
    }
  }
  std::string report = Run({"inspect", "--json", PathOf(names[0])}).out;
  EXPECT_NE(report.find("\\u65e5\\u672c\\u8a9e.exe\","), std::string::npos) << report;
  EXPECT_NE(report.find("\"title\":\"\\u30b3\\u30eb\\u30f4\\u30a1\\u30ea\\u30f3\\u30b9 "
                        "\\ud83d\\ude00\\u0009\\u007f\""),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("\"installerName\":\"\\u30bb\\u30c3\\u30c8\\u30a2\\u30c3\\u30d7.exe\""),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("\"packageName\":\"a\\ufffd.msi\""), std::string::npos) << report;
#ifndef _WIN32
  // Each byte that is no UTF-8 reads as the text report shows it: \xe9, as JSON "\\xe9".
  report = Run({"inspect", "--json", PathOf(names[1])}).out;
  EXPECT_NE(report.find("caf\\\\xe9 \\\\xff.exe\","), std::string::npos) << report;
  EXPECT_NE(Run({"inspect", PathOf(names[1])}).out.find("caf\\xe9 \\xff.exe\n"), std::string::npos);
#endif
}

TEST_F(PackToolTest, InspectOfAFileWithoutUsableTrailerShowsWhatItFoundAndExitsWith1) {
  WriteFile("plain.exe", stub_);
  ToolRun run = Run({"inspect", PathOf("plain.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("trailer:           none found\n"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("holds no trailer the launcher would accept"), std::string::npos);

  LauncherContents refused = SampleContents();
  refused.names.folderName = u"";
  WriteFile("refused.exe", GoodLauncher(refused));
  run = Run({"inspect", "--json", PathOf("refused.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(
      run.out.find("\"accepted\":false},\"names\":{\"title\":\"Corvalinth\",\"folderName\":\"\""),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"record\":null"), std::string::npos);
}

TEST_F(PackToolTest, InspectShowsTheBytesTheSignatureDoesNotCover) {
  // A 53-byte signature, aligned by 3 zero bytes.
  std::vector<uint8_t> file = GoodLauncher(SampleContents());
  AppendCertificateTable(file, StandInSignature(53));
  WriteFile("signed.exe", file);
  ToolRun run = Run({"inspect", PathOf("signed.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(
      run.out.find("certificate table: at byte 9800, 64 bytes\n"
                   "uncovered:         3 bytes after the signature, which it does not cover\n"),
      std::string::npos)
      << run.out;
  run = Run({"inspect", "--json", PathOf("signed.exe")});
  EXPECT_NE(run.out.find("\"certificateTable\":{\"offset\":9800,\"size\":64,\"pastEnd\":false,"
                         "\"uncoveredBytes\":3}"),
            std::string::npos)
      << run.out;

  // Bytes after the table count too; a table without a signature leaves the number unknown.
  file.resize(file.size() + 100, 0);
  SetChecksum(file);
  WriteFile("signed.exe", file);
  EXPECT_NE(Run({"inspect", PathOf("signed.exe")}).out.find("uncovered:         103 bytes"),
            std::string::npos);
  file[9808] = 0x31;
  WriteFile("signed.exe", file);
  run = Run({"inspect", "--json", PathOf("signed.exe")});
  EXPECT_NE(run.out.find("\"uncoveredBytes\":null"), std::string::npos) << run.out;
  EXPECT_NE(Run({"inspect", PathOf("signed.exe")}).out.find("uncovered:         not known"),
            std::string::npos);
}

TEST_F(PackToolTest, TextReportsShowHostileNamesEscapedOnTheirOwnLine) {
  LauncherContents contents = SampleContents();
  contents.names.title = u"Corvalinth\n::error::forged\r\n##vso[task.complete]\x85\x1b[2J";
  contents.names.installerName = u"setup\u202Egpj.exe";
  contents.names.packageName = u"..\\\n::warning::x";
  WriteFile("hostile.exe", GoodLauncher(contents));
  ToolRun run = Run({"inspect", PathOf("hostile.exe")});
  EXPECT_NE(run.out.find("\ntitle:             Corvalinth\\u000a::error::forged\\u000d\\u000a"
                         "##vso[task.complete]\\u0085\\u001b[2J\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\ninstallerName:     setup\\u202egpj.exe\n"), std::string::npos)
      << run.out;
  ToolRun verify = Run({"verify", PathOf("hostile.exe")});
  EXPECT_EQ(verify.code, 1);
  EXPECT_NE(verify.err.find(": title: the title contains the control character U+000A, "),
            std::string::npos)
      << verify.err;
  EXPECT_NE(verify.err.find(": names: packageName \"..\\\\u000a::warning::x\" contains '\\'"),
            std::string::npos)
      << verify.err;
  // No line of either report starts anywhere but where the tool starts it.
  for (const std::string& text : {run.out, verify.err}) {
    for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
      EXPECT_NE(text.compare(at, 2, "::"), 0) << text;
      EXPECT_NE(text.compare(at, 6, "##vso["), 0) << text;
    }
    EXPECT_EQ(text.find_first_of("\r\x1b"), std::string::npos) << text;
  }
}

TEST_F(PackToolTest, InspectOfAFileOf2GiBOrMoreSaysSoWithoutReadingItThrough) {
  // Sparse: reading it through for the checksum would take long; its length is all that counts.
  WriteFile("huge.exe", GoodLauncher(SampleContents()));
  std::filesystem::resize_file(folder_ / "huge.exe", 8ull << 30);
  ToolRun run = Run({"inspect", PathOf("huge.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("length:            8589934592 bytes\n"
                         "trailer:           not searched: the file is 2 GiB or more\n"
                         "checksum:          stored 0x"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(", not computed\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("room left"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("is 2 GiB or more, outside the format"), std::string::npos) << run.err;
  run = Run({"inspect", "--json", PathOf("huge.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("\"checksum\":null"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"roomLeft\":null"), std::string::npos) << run.out;
}

TEST_F(PackToolTest, ExtractGivesBackTheInputsWithTheirNamesAndTimes) {
  ASSERT_EQ(
      Build("out.exe", {"--installer-name", "セットアップ.exe", "--package-name", "製品.msi"}).code,
      0);
  ToolRun run = Run({"extract", PathOf("out.exe"), "-d", PathOf("unpacked/here")});
  ASSERT_EQ(run.code, 0) << run.err;
  std::filesystem::path here = PathFromText(PathOf("unpacked/here"));
  EXPECT_EQ(run.err, "vossimere-pack extract: wrote " +
                         PathText(here / PathFromText("セットアップ.exe")) + " and " +
                         PathText(here / PathFromText("製品.msi")) + "\n");
  EXPECT_EQ(ReadFile("unpacked/here/セットアップ.exe"), installer_);
  EXPECT_EQ(ReadFile("unpacked/here/製品.msi"), package_);
  EXPECT_EQ(LastWriteTime(folder_ / PathFromText("unpacked/here/セットアップ.exe")),
            kInstallerFileTime);
  EXPECT_EQ(LastWriteTime(folder_ / PathFromText("unpacked/here/製品.msi")), kPackageFileTime);
  EXPECT_EQ(Run({"verify", PathOf("out.exe")}).code, 0);
}

TEST_F(PackToolTest, ExtractLeavesExistingFilesAloneUnlessForced) {
  ASSERT_EQ(Build("out.exe").code, 0);
  std::filesystem::create_directories(folder_ / "x");
  WriteFile("x/Corvalinth.msi", {1, 2, 3});
  ToolRun run = Run({"extract", PathOf("out.exe"), "-d", PathOf("x")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("already exists; nothing was extracted"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists("x/setup.exe"));
  EXPECT_EQ(ReadFile("x/Corvalinth.msi"), (std::vector<uint8_t>{1, 2, 3}));

  run = Run({"extract", "--force", PathOf("out.exe"), "-d", PathOf("x")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ReadFile("x/Corvalinth.msi"), package_);
  EXPECT_EQ(FileNames(),
            (std::vector<std::string>{"Corvalinth.msi", "Vossimere.exe", "out.exe", "setup.exe",
                                      "x", "x/Corvalinth.msi", "x/setup.exe"}));
}

TEST_F(PackToolTest, ExtractRefusesNamesThatWouldLeaveTheFolder) {
  for (const char16_t* name : {u"..\\evil.exe", u"../evil.exe", u"C:evil.exe", u"..", u"NUL"}) {
    LauncherContents contents = SampleContents();
    contents.names.installerName = name;
    WriteFile("bad.exe", GoodLauncher(contents));
    ToolRun run = Run({"extract", PathOf("bad.exe"), "-d", PathOf("x/y")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("it is not extracted, so it cannot leave the folder"), std::string::npos)
        << run.err;
    EXPECT_FALSE(Exists("x"));
    EXPECT_FALSE(Exists("evil.exe"));
  }
  WriteFile("plain.exe", stub_);
  EXPECT_EQ(Run({"extract", PathOf("plain.exe")}).code, 1);
}

TEST_F(PackToolTest, HelpTellsEachCommandsOptionsAndExitCodes) {
  ToolRun run = Run({"--help"});
  EXPECT_EQ(run.code, 0);
  for (const char* text : {"build", "inspect", "verify", "extract", "--version", "Exit codes: 0"})
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
  struct Command {
    const char* name;
    std::vector<const char*> mentions;
  };
  for (const Command& command :
       {Command{"build",
                {"--stub", "--installer ", "--package ", "--title", "--folder", "--installer-name",
                 "--package-name", "--installer-time", "--package-time", "-o OUT", "2 GiB",
                 "Exit codes"}},
        Command{"inspect", {"--json", "does not cover", "2 GiB", "Exit codes"}},
        Command{"verify",
                {"one line per broken rule", "WIN_CERTIFICATE", "forged trailer", "Exit codes"}},
        Command{"extract", {"-d DIR", "--force", "Exit codes"}}}) {
    ToolRun help = Run({command.name, "--help"});
    EXPECT_EQ(help.code, 0) << command.name;
    EXPECT_EQ(help.out, Run({"help", command.name}).out);
    EXPECT_EQ(help.out, Run({"--help", command.name}).out);
    for (const char* mention : command.mentions)
      EXPECT_NE(help.out.find(mention), std::string::npos) << command.name << " " << mention;
  }
  EXPECT_EQ(Run({"help"}).out, run.out);
  ToolRun unknownHelp = Run({"help", "pack"});
  EXPECT_EQ(unknownHelp.code, 2);
  EXPECT_NE(unknownHelp.err.find("unknown command 'pack'"), std::string::npos);
  EXPECT_EQ(Run({"--version"}).out,
            "vossimere-pack " VOSSIMERE_VERSION "\nLicensed under the Apache "
            "License 2.0; see the LICENSE file shipped with it.\n");
  ToolRun unknown = Run({"pack"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("unknown command 'pack'"), std::string::npos);
  EXPECT_EQ(Run({}).code, 2);
}

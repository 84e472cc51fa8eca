// vossimere-pack build, as a publisher runs it: the file it writes, its defaults, and every
// refusal, each of which leaves no file behind.
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "launch/anchor_record.h"
#include "launch/scan_tail.h"
#include "launch/tail_window.h"
#include "pack/format/folder_name.h"
#include "pack/format/pe_checksum.h"
#include "pack/io/file_time.h"
#include "pack/text/utf.h"
#include "tests/pack/cli/pack_tool_fixture.h"
#include "tests/support/compound_file_builder.h"
#include "tests/support/synthetic_image.h"

namespace {

const std::string kFolder = "{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}";

struct Found {
  int32_t at;
  PayloadNames names;
  AnchorRecord record;
};

Found Search(const std::vector<uint8_t>& file) {
  Found found{};
  int32_t w = WindowStart(static_cast<int32_t>(file.size()));
  found.at = ScanTail(file.data() + w, static_cast<int32_t>(file.size()) - w, w, found.names,
                      found.record);
  if (found.at >= 0) found.at += w;
  return found;
}

// Sets SOURCE_DATE_EPOCH for the tool run in-process, and unsets it again.
class SourceDateEpoch {
 public:
  explicit SourceDateEpoch(const char* value) { Set(value); }
  ~SourceDateEpoch() { Set(nullptr); }

 private:
  static void Set(const char* value) {
#ifdef _WIN32
    _putenv_s("SOURCE_DATE_EPOCH", value ? value : "");  // "" removes it
#else
    if (value)
      setenv("SOURCE_DATE_EPOCH", value, 1);
    else
      unsetenv("SOURCE_DATE_EPOCH");
#endif
  }
};

}  // namespace

TEST_F(PackToolTest, BuildWritesTheSharedLayoutWithTheChecksumOverTheWholeFile) {
  ToolRun run = Build("out.exe", {"--folder", kFolder});
  ASSERT_EQ(run.code, 0) << run.err;
  std::vector<uint8_t> built = ReadFile("out.exe");
  EXPECT_EQ(built, GoodLauncher(SampleContents()));
  EXPECT_EQ(LoadU32(&built[kSyntheticChecksumField]),
            ComputePeChecksum(built.data(), built.size(), kSyntheticChecksumField));
  EXPECT_NE(LoadU32(&built[kSyntheticChecksumField]), 0u);
  EXPECT_NE(run.err.find("bytes of the 128 KiB window are left"), std::string::npos);
  EXPECT_EQ(FileNames(),
            (std::vector<std::string>{"Corvalinth.msi", "Vossimere.exe", "out.exe", "setup.exe"}));
}

TEST_F(PackToolTest, BuildTakesNamesAndTimesFromTheInputsAndAGuidFromThePayload) {
  ASSERT_EQ(Build("out.exe").code, 0);
  Found found = Search(ReadFile("out.exe"));
  ASSERT_GT(found.at, 0);
  EXPECT_EQ(std::u16string(found.names.installerName.Data()), u"setup.exe");
  EXPECT_EQ(std::u16string(found.names.packageName.Data()), u"Corvalinth.msi");
  EXPECT_EQ(found.record.installerTime, kInstallerFileTime);
  EXPECT_EQ(found.record.packageTime, kPackageFileTime);
  std::u16string folder(found.names.folderName.Data());
  EXPECT_EQ(folder.size(), 38u);
  EXPECT_EQ(folder[0], u'{');
  EXPECT_EQ(folder[15], u'5');
  // The known answer for these inputs (DefaultFolderName's own are in folder_name_test.cpp):
  // a rebuild from the same inputs with a newer tool gives the same folder and the same file.
  EXPECT_EQ(Utf16ToUtf8(folder), "{2FC63CDD-562A-566B-B818-D7D46C687004}");

  // A different package gives a different folder.
  WriteFile("Corvalinth.msi", PatternBytes(5000, 3));
  SetLastWriteTime(folder_ / "Corvalinth.msi", kPackageFileTime);
  ASSERT_EQ(Build("other.exe").code, 0);
  EXPECT_NE(std::u16string(Search(ReadFile("other.exe")).names.folderName.Data()), folder);
}

TEST_F(PackToolTest, BuildCopiesFilesOfManyPiecesWholeWithChecksumAndFolderOverTheirBytes) {
  // Larger than the copy's pieces (8 MiB by the kernel, 128 KiB through a buffer) and ending
  // inside one: every byte arrives in order, and the checksum and the folder derived from the
  // contents are those of the bytes written.
  installer_ = PatternBytes((128 << 10) + 7, 5);
  package_ = PatternBytes((8 << 20) + 4099, 6);
  WriteFile("setup.exe", installer_);
  WriteFile("Corvalinth.msi", package_);
  SetLastWriteTime(folder_ / "setup.exe", kInstallerFileTime);
  SetLastWriteTime(folder_ / "Corvalinth.msi", kPackageFileTime);

  ToolRun run = Build("given.exe", {"--folder", kFolder});
  ASSERT_EQ(run.code, 0) << run.err;
  std::vector<uint8_t> built = ReadFile("given.exe");
  EXPECT_TRUE(built == GoodLauncher(SampleContents(stub_, installer_, package_)));
  EXPECT_EQ(LoadU32(&built[kSyntheticChecksumField]),
            ComputePeChecksum(built.data(), built.size(), kSyntheticChecksumField));

  ASSERT_EQ(Build("derived.exe").code, 0);
  ContentDigest installerDigest, packageDigest;
  installerDigest.Add(installer_.data(), installer_.size());
  packageDigest.Add(package_.data(), package_.size());
  PayloadIdentity identity{
      u"Corvalinth",        u"setup.exe",      u"Corvalinth.msi", kInstallerFileTime,
      kPackageFileTime,     installer_.size(), package_.size(),   installerDigest.Value(),
      packageDigest.Value()};
  EXPECT_EQ(std::u16string(Search(ReadFile("derived.exe")).names.folderName.Data()),
            DefaultFolderName(identity));
}

TEST_F(PackToolTest, BuildIsReproducibleByteForByte) {
  ASSERT_EQ(Build("first.exe").code, 0);
  // Touching the inputs' other metadata and rebuilding elsewhere changes nothing.
  std::filesystem::create_directories(folder_ / "again");
  ASSERT_EQ(Build("again/second.exe").code, 0);
  EXPECT_EQ(ReadFile("first.exe"), ReadFile("again/second.exe"));
}

TEST_F(PackToolTest, BuildClampsDefaultTimesToSourceDateEpochSoFreshCheckoutsGiveTheSameFile) {
  const uint64_t kEpochFiletime = 133500000000000000ull;  // 1705526400 s: 2024-01-17T21:20:00Z
  {
    SourceDateEpoch epoch("1705526400");
    ASSERT_EQ(Build("first.exe").code, 0);
    // A fresh checkout: every input written anew, later still.
    SetLastWriteTime(folder_ / "setup.exe", kInstallerFileTime + 860000000000);
    SetLastWriteTime(folder_ / "Corvalinth.msi", kPackageFileTime + 860000000000);
    ASSERT_EQ(Build("second.exe").code, 0);
    EXPECT_EQ(ReadFile("first.exe"), ReadFile("second.exe"));
    Found found = Search(ReadFile("first.exe"));
    EXPECT_EQ(found.record.installerTime, kEpochFiletime);
    EXPECT_EQ(found.record.packageTime, kEpochFiletime);

    // A time given explicitly is used as given, even when it is later.
    ASSERT_EQ(Build("given.exe", {"--package-time", "2025-01-01T00:00:00Z"}).code, 0);
    EXPECT_EQ(Search(ReadFile("given.exe")).record.packageTime, 133801632000000000ull);
  }
  {
    // A file older than the epoch keeps its own time.
    SourceDateEpoch epoch("1800000000");
    SetLastWriteTime(folder_ / "setup.exe", kInstallerFileTime);
    ASSERT_EQ(Build("older.exe").code, 0);
    EXPECT_EQ(Search(ReadFile("older.exe")).record.installerTime, kInstallerFileTime);
  }
  for (const char* bad : {"yesterday", "-1", "1.5", "99999999999999"}) {
    SourceDateEpoch epoch(bad);
    std::vector<std::string> before = FileNames();
    ToolRun run = Build("bad.exe");
    EXPECT_EQ(run.code, 2) << bad;
    EXPECT_NE(run.err.find("is not a number of seconds since 1970-01-01 UTC"), std::string::npos)
        << run.err;
    EXPECT_EQ(FileNames(), before);
  }
}

TEST_F(PackToolTest, BuildWarnsAboutDoubtfulInputsAndLittleSignatureRoomButWritesTheFile) {
  // The fixture's installer and package are random bytes: no program, no Windows Installer file.
  ToolRun run = Build("out.exe");
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.err.find("warning: the installer " + PathOf("setup.exe") +
                         " is not a Windows program (no MZ and PE headers)"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("warning: the package " + PathOf("Corvalinth.msi") +
                         " is not a Windows Installer package"),
            std::string::npos);

  std::vector<uint8_t> package{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0, 0, 0, 0};
  WriteFile("product.msi", package);
  WriteFile("real-setup.exe", SyntheticImage());
  run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("real-setup.exe"),
             "--package", PathOf("product.msi"), "--title", "Corvalinth", "-o", PathOf("out.exe")});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;

  WriteFile("empty.exe", {});
  WriteFile("empty.msi", {});
  run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("empty.exe"),
             "--package", PathOf("empty.msi"), "--title", std::string(53000, 'T'), "-o",
             PathOf("out.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.err.find("warning: the installer " + PathOf("empty.exe") + " is empty"),
            std::string::npos);
  EXPECT_NE(run.err.find("warning: the package " + PathOf("empty.msi") + " is empty"),
            std::string::npos);
  // 131072 - 44 - 2 * (53001 + 39 + 10 + 10) = 24908 bytes left: enough, just.
  EXPECT_EQ(run.err.find("typically takes about 24 KiB"), std::string::npos) << run.err;
  run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("empty.exe"),
             "--package", PathOf("empty.msi"), "--title", std::string(53200, 'T'), "-o",
             PathOf("out.exe")});
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.err.find("warning: a signature with two digests and time stamps typically takes "
                         "about 24 KiB (24576 bytes), more than the 24508 bytes left"),
            std::string::npos)
      << run.err;

  // Names that leave less room than a usual temporary folder: built and verified, with a warning.
  const char* const kRoomWarning =
      "warning: the folder name and the package name leave room for a temporary folder of only 48 "
      "characters, and the launcher does not use long paths";
  // clang-format off
  std::vector<std::string> args{"build", "--stub", PathOf("Vossimere.exe"), "--installer",
                                PathOf("real-setup.exe"), "--package", PathOf("product.msi"),
                                "--title", "T", "--package-name",
                                std::string(167, 'p') + ".msi",  // 171 units
                                "-o", PathOf("long.exe")};
  // clang-format on
  run = Run(args);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
  args[10] = std::string(168, 'p') + ".msi";  // 48 + 38 + 1 + 172 = 259
  run = Run(args);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.err.find("vossimere-pack build: " + std::string(kRoomWarning)), std::string::npos)
      << run.err;
  for (bool json : {false, true}) {
    ToolRun verified =
        json ? Run({"verify", "--json", PathOf("long.exe")}) : Run({"verify", PathOf("long.exe")});
    EXPECT_EQ(verified.code, 0) << verified.err;
    EXPECT_EQ(verified.err.find(PathOf("long.exe") + ": " + kRoomWarning), 0u) << verified.err;
    EXPECT_NE(verified.out.find(json ? "\"rules\"" : ": every rule holds; "), std::string::npos)
        << verified.out;
  }
}

TEST_F(PackToolTest, BuildTakesGivenNamesTimesAndUnicodeText) {
  ToolRun run = Build(
      "out.exe", {"--title", "コルヴァリンス", "--installer-name", "セットアップ.exe",
                  "--package-name", "製品.msi", "--installer-time", "2024-03-01T18:30:00.5+09:00",
                  "--package-time", "1999-12-31T23:59:59Z", "--folder", "インストール"});
  // --title is given twice: the fixture's and this one.
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("--title is given twice"), std::string::npos);

  // The arguments packed, as a command line reads; the formatter would give each its own line.
  // clang-format off
  run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
             "--package", PathOf("Corvalinth.msi"), "--title", "コルヴァリンス", "--installer-name",
             "セットアップ.exe", "--package-name", "製品.msi", "--installer-time",
             "2024-03-01T18:30:00.5+09:00", "--package-time", "1999-12-31T23:59:59Z", "--folder",
             "インストール", "-o", PathOf("出力.exe")});
  // clang-format on
  ASSERT_EQ(run.code, 0) << run.err;
  Found found = Search(ReadFile("出力.exe"));
  ASSERT_GT(found.at, 0);
  EXPECT_EQ(std::u16string(found.names.title.Data()), u"コルヴァリンス");
  EXPECT_EQ(std::u16string(found.names.folderName.Data()), u"インストール");
  EXPECT_EQ(std::u16string(found.names.installerName.Data()), u"セットアップ.exe");
  EXPECT_EQ(std::u16string(found.names.packageName.Data()), u"製品.msi");
  EXPECT_EQ(found.record.installerTime, 133537590005000000ull);  // 2024-03-01T09:30:00.5Z
  EXPECT_EQ(found.record.packageTime, 125911583990000000ull);
}

TEST_F(PackToolTest, BuildReplacesAnExistingOutputWhole) {
  WriteFile("out.exe", std::vector<uint8_t>(100000, 0xEE));
  ASSERT_EQ(Build("out.exe", {"--folder", kFolder}).code, 0);
  EXPECT_EQ(ReadFile("out.exe"), GoodLauncher(SampleContents()));
}

// Each refusal: exit code 2, a message naming the problem, no output and no temporary file.
struct Refusal {
  const char* label;
  std::vector<std::string> extra;
  const char* message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.label; }

class BuildRefusal : public PackToolTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(BuildRefusal, LeavesNoFileBehind) {
  std::vector<std::string> before = FileNames();
  ToolRun run = Build("out.exe", GetParam().extra);
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(FileNames(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Names, BuildRefusal,
    ::testing::Values(
        Refusal{"EmptyInstallerName", {"--installer-name", ""}, "installer name \"\" is empty"},
        Refusal{"Separator", {"--installer-name", "..\\setup.exe"}, "a path separator"},
        Refusal{"Slash", {"--package-name", "sub/p.msi"}, "a path separator"},
        Refusal{"Forbidden", {"--package-name", "p?.msi"}, "Windows forbids"},
        Refusal{"Control", {"--installer-name", "set\tup.exe"}, "control character U+0009"},
        Refusal{"TrailingDot", {"--package-name", "p.msi."}, "ends with a dot"},
        Refusal{"TrailingSpace", {"--folder", "folder "}, "ends with a space"},
        Refusal{"Device", {"--folder", "com1.tmp"}, "reserved device name com1"},
        Refusal{"SameNames", {"--package-name", "SETUP.EXE"}, "have the same name"},
        Refusal{"SameNamesBeyondAscii",
                {"--installer-name", "Ärger.exe", "--package-name", "äRGER.EXE"},
                "have the same name \"äRGER.EXE\""},
        Refusal{"EmptyFolder", {"--folder", ""}, "folder name \"\" is empty"},
        Refusal{"BadUtf8", {"--installer-name", "\xff.exe"}, "not valid UTF-8"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.label; });

INSTANTIATE_TEST_SUITE_P(
    Options, BuildRefusal,
    ::testing::Values(
        Refusal{"NoZone", {"--installer-time", "2024-03-01T09:30:00"}, "with a zone"},
        Refusal{"BadDate", {"--package-time", "2023-02-29T00:00:00Z"}, "not an ISO 8601 time"},
        Refusal{"Unknown", {"--signed"}, "unknown option --signed"},
        Refusal{"Operand", {"extra"}, "unexpected argument 'extra'"},
        Refusal{"MissingValue", {"--folder"}, "--folder needs a value"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.label; });

// A device name as the output: Windows 10 and later open the device for it, wherever the folder.
TEST_F(PackToolTest, BuildRefusesADeviceNameAsTheOutput) {
  std::vector<std::string> before = FileNames();
  for (const char* name : {"NUL.exe", "CON", "com1.txt", "AUX .exe", "LPT²"}) {
    ToolRun run = Build(name);
    EXPECT_EQ(run.code, 2) << name;
    std::string device = std::string(name).substr(0, std::string(name).find_first_of(" ."));
    EXPECT_NE(run.err.find("the name \"" + std::string(name) + "\" is the reserved device name " +
                           device + "; Windows would write to the device, not to a file"),
              std::string::npos)
        << run.err;
  }
  EXPECT_EQ(FileNames(), before);
  EXPECT_EQ(Build("NULL.exe").code, 0);  // a longer name is a name
#ifndef _WIN32
  EXPECT_EQ(Build("caf\xe9.exe").code, 0);  // so is a Linux name that is not UTF-8
#endif
}

TEST_F(PackToolTest, BuildRefusesATrailerLongerThanTheWindow) {
  std::vector<std::string> before = FileNames();
  // The arguments packed, as a command line reads; the formatter would give each its own line.
  // clang-format off
  std::vector<std::string> args{"build", "--stub", PathOf("Vossimere.exe"), "--installer",
                                PathOf("setup.exe"), "--package", PathOf("Corvalinth.msi"),
                                "--title", std::string(65520, 'T'), "-o", PathOf("out.exe")};
  // clang-format on
  ToolRun run = Run(args);
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("more than the 131072-byte window"), std::string::npos) << run.err;
  EXPECT_EQ(FileNames(), before);

  args[8] = std::string(65400, 'T');  // still fits: built
  EXPECT_EQ(Run(args).code, 0);
}

TEST_F(PackToolTest, BuildRefusesMissingOptionsAndInputs) {
  std::vector<std::string> before = FileNames();
  ToolRun run = Run({"build", "--stub", PathOf("Vossimere.exe"), "-o", PathOf("out.exe")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("missing --installer"), std::string::npos);
  EXPECT_NE(run.err.find("build --help"), std::string::npos);

  std::filesystem::remove(folder_ / "setup.exe");
  run = Build("out.exe", {"--installer-time", "2024-01-01T00:00:00Z"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot find the installer"), std::string::npos) << run.err;
  run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("."), "--package",
             PathOf("Corvalinth.msi"), "--title", "T", "--installer-name", "s.exe", "-o",
             PathOf("out.exe")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("it is a folder"), std::string::npos) << run.err;
  before.erase(std::find(before.begin(), before.end(), "setup.exe"));
  EXPECT_EQ(FileNames(), before);
}

TEST_F(PackToolTest, BuildRefusesStandardStreamsAndFilesItCannotSeekIn) {
  std::vector<std::string> before = FileNames();
  ToolRun run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", "-", "--package",
                     PathOf("Corvalinth.msi"), "--title", "T", "-o", PathOf("out.exe")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("--installer is '-', but the tool cannot read from the standard input or "
                         "write to the standard output"),
            std::string::npos)
      << run.err;
  run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
             "--package", PathOf("Corvalinth.msi"), "--title", "T", "-o", "-"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("-o is '-'"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists("-"));
  EXPECT_EQ(FileNames(), before);
#ifndef _WIN32
  // A FIFO is refused before it is opened: the tool would wait for a writer for ever.
  ASSERT_EQ(mkfifo((folder_ / "pipe.msi").c_str(), 0600), 0);
  before = FileNames();
  run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
             "--package", PathOf("pipe.msi"), "--title", "T", "-o", PathOf("piped.exe")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot read the package " + PathOf("pipe.msi") +
                         ": it is a FIFO (named pipe), not a regular file"),
            std::string::npos)
      << run.err;
  run = Run({"inspect", PathOf("pipe.msi")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("a FIFO (named pipe)"), std::string::npos) << run.err;
  EXPECT_EQ(FileNames(), before);
#endif
}

TEST_F(PackToolTest, BuildRefusesStubsThatCannotCarryAPayload) {
  struct Case {
    std::vector<uint8_t> stub;
    const char* message;
  };
  SyntheticImageOptions pe32, dll, noResources, installer;
  pe32.magic = 0x10B;
  dll.characteristics = 0x2022;
  noResources.resources = false;
  installer.windowTitle = u"Setup";
  std::vector<uint8_t> signedStub = SyntheticImage();
  StoreU32(&signedStub[kSyntheticOptionalHeader + 112 + 32], 0x600);
  StoreU32(&signedStub[kSyntheticOptionalHeader + 112 + 36], 8);
  signedStub.resize(0x608, 0);
  std::vector<uint8_t> text{'h', 'e', 'l', 'l', 'o'};
  std::vector<Case> cases{
      {text, "is not a PE32+ image: no MZ header"},
      {SyntheticImage(pe32), "a 32-bit (PE32) image"},
      {SyntheticImage(dll), "is a DLL"},
      {SyntheticImage(noResources), "is not the Vossimere launcher: it carries no resources"},
      {SyntheticImage(installer), "is not the Vossimere launcher: its string 103 is \"Setup\", "
                                  "not the launcher's \"Vossimere\". Give the launcher's own"},
      {signedStub, "is already signed"},
      {GoodLauncher(SampleContents()), "already carries a launcher trailer"},
      {std::vector<uint8_t>(stub_.begin(), stub_.end() - 1), "is cut short"}};
  for (const Case& c : cases) {
    WriteFile("Vossimere.exe", c.stub);
    std::vector<std::string> before = FileNames();
    ToolRun run = Build("out.exe");
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(FileNames(), before);
  }
}

TEST_F(PackToolTest, BuildRefusesControlCharactersInTheTitle) {
  std::vector<std::string> before = FileNames();
  for (const char* title : {"Corvalinth\n::error::forged", "\x1b[2J", "A\x7f", "A\xc2\x85"}) {
    ToolRun run =
        Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
             "--package", PathOf("Corvalinth.msi"), "--title", title, "-o", PathOf("out.exe")});
    EXPECT_EQ(run.code, 2) << title;
    EXPECT_NE(run.err.find("contains the control character U+00"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_EQ(FileNames(), before);
  }
  ToolRun run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
                     "--package", PathOf("Corvalinth.msi"), "--title", "Corvalinth\n::error::x",
                     "-o", PathOf("out.exe")});
  EXPECT_NE(run.err.find("the title \"Corvalinth\\u000a::error::x\" contains the control character "
                         "U+000A"),
            std::string::npos)
      << run.err;
}

TEST_F(PackToolTest, BuildRefusesAResultOf2GiBOrMore) {
  // A sparse file: its size is all that is read before the refusal.
  std::filesystem::resize_file(folder_ / "Corvalinth.msi", 0x7FFFFFFFull - 0x600 - 3001);
  std::vector<std::string> before = FileNames();
  ToolRun run = Build("out.exe");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("below 2 GiB"), std::string::npos) << run.err;
  EXPECT_EQ(FileNames(), before);
}

TEST_F(PackToolTest, BuildRefusesAPayloadThatCarriesTheMagicValuesWhereTheLauncherSearches) {
  // The package starts at 0x600 + 3008 = 4544 (not 128-aligned); 4608 is the first boundary in it.
  std::vector<uint8_t> package = package_;
  StoreU32(&package[4608 - 4544], kMagicHead);
  StoreU32(&package[4608 - 4544 + 40], kMagicTail);
  WriteFile("Corvalinth.msi", package);
  SetLastWriteTime(folder_ / "Corvalinth.msi", kPackageFileTime);
  std::vector<std::string> before = FileNames();
  ToolRun run = Build("out.exe");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(
      run.err.find("magic values at a 128-byte boundary inside the last 128 KiB (at byte 4608)"),
      std::string::npos)
      << run.err;
  EXPECT_EQ(FileNames(), before);
}

TEST_F(PackToolTest, BuildRefusesToWriteOverItsOwnInput) {
  std::vector<uint8_t> before = ReadFile("setup.exe");
  ToolRun run = Build("setup.exe");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("is one of the inputs"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile("setup.exe"), before);
}

// The publisher's icon and version information: written into the image, shown by inspect, held by
// verify; the package's own names and version with one option.
TEST_F(PackToolTest, BuildPutsThePublishersIconAndVersionInformationOnTheFile) {
  SyntheticImageOptions options;
  options.resourceSection = true;
  std::vector<uint8_t> stub = SyntheticImage(options);
  StoreU32(&stub[kSyntheticChecksumField],
           ComputePeChecksum(stub.data(), stub.size(), kSyntheticChecksumField));
  WriteFile("Vossimere.exe", stub);
  WriteFile("publisher.ico", SampleIcon());
  WriteFile("Corvalinth.msi",
            BuildCompoundFile(MsiPropertyStreams({{"ProductName", "Example Product"},
                                                  {"Manufacturer", "Example Publisher"},
                                                  {"ProductVersion", "3.1.4"}})));
  ToolRun run =
      Build("out.exe", {"--icon", PathOf("publisher.ico"), "--version-from-package", "--copyright",
                        "(c) 2026 Example", "--version-language", "de-DE"});
  ASSERT_EQ(run.code, 0) << run.err;
  ToolRun shown = Run({"inspect", PathOf("out.exe")});
  EXPECT_NE(shown.out.find("icon:              16x16 32-bit, 32x32 32-bit, 256x256 PNG\n"
                           "version:           file 3.1.4.0, product 3.1.4.0, language 0x0407 "
                           "(de-DE), code page 1200\n"
                           "  CompanyName:     Example Publisher\n"
                           "  FileDescription: Example Product\n"
                           "  FileVersion:     3.1.4.0\n"
                           "  LegalCopyright:  (c) 2026 Example\n"
                           "  OriginalFilename: out.exe\n"
                           "  ProductName:     Example Product\n"
                           "  ProductVersion:  3.1.4\n"),
            std::string::npos)
      << shown.out;
  ToolRun json = Run({"inspect", "--json", PathOf("out.exe")});
  EXPECT_NE(json.out.find("\"icon\":[{\"width\":16,\"height\":16,\"bitCount\":32,\"png\":false},"
                          "{\"width\":32,\"height\":32,\"bitCount\":32,\"png\":false},"
                          "{\"width\":256,\"height\":256,\"bitCount\":32,\"png\":true}],"
                          "\"versionInfo\":{\"fileVersion\":\"3.1.4.0\",\"productVersion\":"
                          "\"3.1.4.0\",\"language\":1031,\"codePage\":1200,\"strings\":{"
                          "\"CompanyName\":\"Example Publisher\""),
            std::string::npos)
      << json.out;
  ToolRun verified = Run({"verify", PathOf("out.exe")});
  EXPECT_EQ(verified.code, 0) << verified.err;

  // Given options win over the package's; --file-version alone sets both numbers.
  run = Build("given.exe", {"--file-version", "1.2", "--product-name", "Given",
                            "--original-filename", "Setup.exe", "--description", "Setup"});
  ASSERT_EQ(run.code, 0) << run.err;
  shown = Run({"inspect", PathOf("given.exe")});
  EXPECT_NE(shown.out.find("version:           file 1.2.0.0, product 1.2.0.0, language 0x0409 "
                           "(en-US), code page 1200\n"
                           "  FileDescription: Setup\n"
                           "  FileVersion:     1.2.0.0\n"
                           "  OriginalFilename: Setup.exe\n"
                           "  ProductName:     Given\n"
                           "  ProductVersion:  1.2.0.0\n"),
            std::string::npos)
      << shown.out;
  // Without the options the launcher's own resources stay as they are, byte for byte.
  ASSERT_EQ(Build("plain.exe").code, 0);
  std::vector<uint8_t> plain = ReadFile("plain.exe");
  plain.resize(stub.size());
  StoreU32(&plain[kSyntheticChecksumField], LoadU32(&stub[kSyntheticChecksumField]));
  EXPECT_EQ(plain, stub);
}

TEST_F(PackToolTest, BuildRefusesABadIconOrVersionAndWritesNothing) {
  SyntheticImageOptions options;
  options.resourceSection = true;
  WriteFile("Vossimere.exe", SyntheticImage(options));
  std::vector<uint8_t> icon = SampleIcon();
  WriteFile("empty.ico", {});
  WriteFile("cut.ico", std::vector<uint8_t>(icon.begin(), icon.end() - 100));
  std::vector<uint8_t> damaged = icon;
  damaged[6 + 12] = 0xFF;  // the first image's offset past the end
  WriteFile("damaged.ico", damaged);
  std::vector<uint8_t> large = icon;
  large.resize(kLargestIconFile + 1);
  WriteFile("large.ico", large);
  const struct {
    std::vector<std::string> options;
    std::string message;
  } cases[] = {
      {{"--icon", PathOf("empty.ico")}, "empty.ico is empty"},
      {{"--icon", PathOf("cut.ico")}, "runs past the end of the file: cut short?"},
      {{"--icon", PathOf("damaged.ico")}, "image 1 of 3"},
      {{"--icon", PathOf("large.ico")}, "more than the 8388608 an icon file may have"},
      {{"--icon", PathOf("missing.ico")}, "missing.ico"},
      {{"--file-version", "1.70000"},
       "--file-version \"1.70000\" has the number 70000, more "
       "than 65535"},
      {{"--file-version", "1.2.3.4.5"}, "more than four numbers"},
      {{"--product-name", "Line\nbreak", "--file-version", "1"}, "has a control character"},
      {{"--company", "\x1B[2J", "--file-version", "1"}, "has a control character"},
      {{"--version-language", "tlh", "--file-version", "1"}, "\"tlh\" is not a language"},
      {{"--product-name", "No version"}, "needs a version"},
      {{"--version-from-package"}, "cannot be read as a Windows Installer package"},
  };
  for (const auto& bad : cases) {
    ToolRun run = Build("out.exe", bad.options);
    EXPECT_EQ(run.code, 2) << bad.message;
    EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
    EXPECT_FALSE(Exists("out.exe")) << bad.message;
  }
  // The other tests' stub keeps its tree after the imports: refused with a reason, not mangled.
  WriteFile("Vossimere.exe", SyntheticImage());
  ToolRun run = Build("out.exe", {"--file-version", "1"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("do not start a section of their own"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists("out.exe"));
}

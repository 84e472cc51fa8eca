// How deployment tools start a launcher file: with the installer's silent switches (those of the
// fake installer, and of a real one built by NSIS), often as a service in a window station nobody
// sees. Everything after the launcher's own program name
// reaches the installer exactly as typed (quotes, empty quoted arguments, Japanese text), however
// the launcher's own path was written, up to the platform's limit on a command line (beyond it the
// installer is not started at all); the installer's exit code comes back unchanged.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "launch/command_line.h"
#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/window_station.h"
#include "tests/support/installer_protocol.h"

class UnattendedRun : public LauncherCase {
 protected:
  std::wstring WriteUsualLauncher(const std::wstring& name = L"launcher.exe") {
    contents_ = UsualContents();
    return SaveLauncherFile(BuildLauncher(contents_), name);
  }

  // Runs the launcher file under this whole command line, expects a clean install and returns
  // the installer's command line.
  std::wstring InstallerCommandLineUnder(const std::wstring& launcher,
                                         const std::wstring& commandLine) {
    commandLine_ = commandLine;
    ExpectCleanInstall(Run(launcher), contents_);
    std::vector<InstallerStart> starts = InstallerStarts();
    return starts.size() == 1 ? starts[0].commandLine : L"(the installer did not start once)";
  }

  // Runs a launcher file that carries the NSIS-built installer under the installer's own silent
  // switch, and expects what a deployment tool relies on: no box, the installer run silently
  // from the extraction folder with the whole package beside it, its exit code passed on, and
  // nothing left in the temporary folder.
  void ExpectSilentNsisInstall(InstallerBits bits) {
    contents_ = UsualContents();
    contents_.installer = NsisInstaller(bits);
    std::wstring launcher = SaveLauncherFile(BuildLauncher(contents_));
    installerExitCode_ = ERROR_SUCCESS_REBOOT_INITIATED;
    commandLine_ = L"\"" + launcher + L"\" /S";

    RunOutcome run = Run(launcher);

    ASSERT_TRUE(run.ended) << "the launcher was still running after " << kRunLimitMs << " ms";
    EXPECT_EQ(run.exitCode, installerExitCode_);
    EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>());
    std::vector<InstallerStart> starts = InstallerStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(starts[0].complete);
    EXPECT_EQ(starts[0].modulePath, InstallerPath());
    EXPECT_EQ(starts[0].commandLine, InstallerCommandLineWith(L"/S"));
    EXPECT_EQ(starts[0].silent, 1);
    EXPECT_EQ(starts[0].fileSizes,
              (std::map<std::wstring, uint64_t>{{L"Corvalinth.msi", contents_.package.size()},
                                                {L"setup.exe", contents_.installer.size()}}));
    EXPECT_FALSE(PathExists(ExtractionFolder(contents_)));
    EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
  }

  std::wstring InstallerPath() const {
    return PathIn(ExtractionFolder(contents_), Wide(contents_.names.installerName));
  }

  // The shell starts the installer as its path in quotes, then the parameters after one space.
  std::wstring InstallerCommandLineWith(const std::wstring& arguments) const {
    return L"\"" + InstallerPath() + L"\" " + arguments;
  }

  LauncherContents contents_;
};

static std::vector<std::wstring> WithoutProgramName(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments = CommandLineArguments(commandLine);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

TEST_F(UnattendedRun, QuotedArgumentsJapaneseTextAndAnEmptyArgumentArriveAsTyped) {
  std::wstring launcher = WriteUsualLauncher();
  std::wstring arguments =
      L"/quiet /l*v \"C:\\log dir\\install.log\" \"\" "
      L"INSTALLDIR=\"C:\\製品 フォルダ\\コルヴァリンス \U00020BB7\" /norestart";

  // Several blanks between the program name and the arguments only separate them.
  std::wstring seen =
      InstallerCommandLineUnder(launcher, L"\"" + launcher + L"\" \t  " + arguments);

  EXPECT_EQ(seen, InstallerCommandLineWith(arguments));
  EXPECT_EQ(WithoutProgramName(seen),
            (std::vector<std::wstring>{L"/quiet", L"/l*v", L"C:\\log dir\\install.log", L"",
                                       L"INSTALLDIR=C:\\製品 フォルダ\\コルヴァリンス \U00020BB7",
                                       L"/norestart"}));
}

TEST_F(UnattendedRun, LauncherPathWithSpacesStartedQuotedPassesOnlyWhatFollowsIt) {
  std::wstring launcher = WriteUsualLauncher(L"My Product Setup.exe");

  std::wstring seen = InstallerCommandLineUnder(launcher, L"\"" + launcher + L"\" /S /v\"/qn\"");

  EXPECT_EQ(seen, InstallerCommandLineWith(L"/S /v\"/qn\""));
}

TEST_F(UnattendedRun, LauncherPathWithoutSpacesStartedUnquotedPassesOnlyWhatFollowsIt) {
  std::wstring launcher = WriteUsualLauncher(L"Setup-1.0.exe");
  if (launcher.find(L' ') != std::wstring::npos) GTEST_SKIP() << "the work folder holds a space";

  std::wstring seen = InstallerCommandLineUnder(launcher, launcher + L" /quiet /norestart");

  EXPECT_EQ(seen, InstallerCommandLineWith(L"/quiet /norestart"));
}

TEST_F(UnattendedRun, NoArgumentsGiveTheInstallerNone) {
  std::wstring launcher = WriteUsualLauncher();

  // Blanks after the program name are no arguments either.
  std::wstring seen = InstallerCommandLineUnder(launcher, L"\"" + launcher + L"\"  \t ");

  EXPECT_EQ(WithoutProgramName(seen), std::vector<std::wstring>()) << seen;
}

// The launcher passes any command line the kernel takes (32,766 units) to the shell; whether the
// shell starts the installer with it is the shell's decision. Either the installer gets the
// arguments whole, or it is not started and the run ends with the start message and its code:
// never a line cut short. Where the shell refuses the longest line, the longest one it does start
// is found and shown to arrive whole. The length is printed for the record of each platform.
class CommandLineLimit : public UnattendedRun {
 protected:
  // Arguments, quotes, Japanese text and empty arguments among them, that make the installer's
  // command line exactly `length` units long.
  std::wstring ArgumentsFor(size_t length) const {
    size_t room = length - InstallerCommandLineWith(L"").size();
    std::wstring arguments;
    while (arguments.size() + 24 < room) arguments += L"/p \"値 with spaces\" \"\" ";
    arguments.append(room - arguments.size(), L'x');
    return arguments;
  }

  // Runs the launcher so that the installer's command line would be `length` units long; true
  // when the installer started (and then got it whole), false when the shell refused it (and the
  // launcher said so).
  bool StartedWithLineOf(const std::wstring& launcher, size_t length) {
    SCOPED_TRACE(testing::Message() << "an installer command line of " << length << " units");
    std::wstring arguments = ArgumentsFor(length);
    commandLine_ = L"\"" + launcher + L"\" " + arguments;
    DeleteFileW(reportPath_.c_str());
    RunOutcome run = Run(launcher);
    EXPECT_TRUE(run.ended);
    std::vector<InstallerStart> starts = InstallerStarts();
    if (starts.empty()) {
      EXPECT_EQ(run.exitCode, kInstallerNotStarted.exitCode);
      if (BoxSkipReason(Machine()).empty()) {
        EXPECT_EQ(run.boxes,
                  std::vector<SeenMessageBox>{ErrorBox(L"Corvalinth", Wide(kInstallerNotStarted))});
      }
      return false;
    }
    EXPECT_EQ(starts.size(), 1u);
    EXPECT_EQ(run.exitCode, installerExitCode_);
    EXPECT_EQ(starts[0].commandLine.size(), length);
    EXPECT_TRUE(starts[0].commandLine == InstallerCommandLineWith(arguments))
        << "the arguments arrived changed";
    return true;
  }
};

TEST_F(CommandLineLimit, LongestCommandLineArrivesWholeOrTheShellsRefusalIsReported) {
  std::wstring launcher = WriteUsualLauncher();

  size_t longest = kLongestCommandLine;
  if (!StartedWithLineOf(launcher, longest)) {
    // The shell's own limit lies below: between a line of 2,048 units, which every shell since
    // Windows 2000 takes, and the refused one.
    size_t taken = 2048;
    ASSERT_TRUE(StartedWithLineOf(launcher, taken)) << "the shell refuses even 2,048 units";
    size_t refused = longest;
    while (refused - taken > 1 && !HasFailure()) {
      size_t middle = taken + (refused - taken) / 2;
      (StartedWithLineOf(launcher, middle) ? taken : refused) = middle;
    }
    longest = taken;
  }
  RecordProperty("longest_installer_command_line", static_cast<int>(longest));
  std::printf("the longest installer command line started, as the installer measured it: %zu "
              "units (the kernel's limit: %zu)\n",
              longest, kLongestCommandLine);
}

// On Windows the start would fail; Wine would cut the installer's command line short instead.
TEST_F(UnattendedRun,
       CommandLineOneUnitTooLongForTheInstallerShowsTheStartMessageAndStartsNothing) {
  std::wstring launcher = WriteUsualLauncher();
  std::wstring arguments(kLongestCommandLine + 1 - InstallerCommandLineWith(L"").size(), L'x');
  commandLine_ = L"\"" + launcher + L"\" " + arguments;

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kInstallerNotStarted)));

  EXPECT_EQ(FolderEntries(ExtractionFolder(contents_)),
            (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.exe"}));
}

// A deployment agent running as a service: its own window station, silent switches, and a
// restart-needed result that it must see to schedule the restart.
TEST_F(UnattendedRun,
       InAWindowStationNobodyCanSeeTheInstallerRunsWithItsSwitchesAndItsCodeComesBack) {
  PrivateWindowStation station;
  ASSERT_TRUE(station.Made()) << "no window station of our own, error " << GetLastError();
  desktop_ = station.DesktopPath();
  installerExitCode_ = ERROR_SUCCESS_REBOOT_REQUIRED;
  std::wstring launcher = WriteUsualLauncher();

  std::wstring seen =
      InstallerCommandLineUnder(launcher, L"\"" + launcher + L"\" /quiet /norestart");

  EXPECT_EQ(seen, InstallerCommandLineWith(L"/quiet /norestart"));
}

// Most installer programs come from installer tools: this one NSIS built, with its own format
// appended to its image, which it checks before it runs.
TEST_F(UnattendedRun, NsisInstallerRunsWithItsSilentSwitchBesideThePackageAndItsCodeComesBack) {
  ExpectSilentNsisInstall(InstallerBits::k64);
}

// The distributed form carries a 32-bit installer program; it installs like the 64-bit one where
// the platform runs 32-bit programs (docs/deployment.md says where this machine's Wine stands).
TEST_F(UnattendedRun, ThirtyTwoBitNsisInstallerRunsLikeTheSixtyFourBitOne) {
  std::string reason = SkipReason(WindowsOnlyCase::kThirtyTwoBitInstaller, Machine());
  if (!reason.empty()) GTEST_SKIP() << reason;
  ExpectSilentNsisInstall(InstallerBits::k32);
}

// The example product's real Windows Installer package (examples/product, made by wixl) with the
// example installer program, which runs msiexec silently with the launcher's arguments after its
// own: installed for all users under Program Files, then removed again through the same launcher
// file with REMOVE=ALL, each time with msiexec's own exit code and no box.
class ExampleProduct : public UnattendedRun {
 protected:
  static constexpr wchar_t kProductCode[] = L"{3F1E6C2A-7B9D-4E58-A0C4-5D2B8E61F937}";

  static std::wstring InstalledFile() {
    wchar_t programFiles[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
    std::wstring folder = length > 0 && length < MAX_PATH ? std::wstring(programFiles, length)
                                                          : std::wstring(L"C:\\Program Files");
    return folder + L"\\Vossimere Example\\readme.txt";
  }

  // Runs the launcher file with these arguments to its end; msiexec may take a while.
  RunOutcome RunWith(const std::wstring& launcher, const std::wstring& arguments) {
    commandLine_ = L"\"" + launcher + L"\" " + arguments;
    LauncherProcess process;
    if (!Start(process, launcher)) {
      ADD_FAILURE() << "the launcher could not be started, error " << GetLastError();
      return RunOutcome();
    }
    return OutcomeOf(process, process.WatchUntilExit(300000));
  }
};

TEST_F(ExampleProduct, InstalledUnderProgramFilesAndRemovedAgainSilentlyThroughALauncherFile) {
  std::string reason = SkipReason(WindowsOnlyCase::kProductInstall, Machine());
  if (!reason.empty()) GTEST_SKIP() << reason;
  contents_ = UsualContents();
  contents_.installer = ReadBytes(ExampleSetupPath());
  contents_.package = ReadBytes(ExamplePackagePath());
  ASSERT_FALSE(contents_.installer.empty() || contents_.package.empty());
  contents_.names.packageName = u"example-product.msi";
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents_), L"ExampleProductSetup.exe");
  const std::wstring installed = InstalledFile();
  ASSERT_FALSE(PathExists(installed))
      << "the example product is installed already; remove it with msiexec /x "
      << std::string(std::begin(kProductCode), std::end(kProductCode) - 1) << " /qn";

  std::wstring log = PathIn(caseFolder_, L"install.log");
  RunOutcome install = RunWith(launcher, L"/l*v \"" + log + L"\"");
  ASSERT_TRUE(install.ended) << "msiexec was still running after five minutes";
  EXPECT_EQ(install.exitCode, 0u);
  EXPECT_EQ(install.boxes, std::vector<SeenMessageBox>());
  EXPECT_TRUE(PathExists(installed)) << "the product's file is not under Program Files";
  EXPECT_FALSE(PathExists(ExtractionFolder(contents_)));
  EXPECT_FALSE(ReadBytes(log).empty()) << "msiexec wrote no log";

  RunOutcome removal = RunWith(launcher, L"REMOVE=ALL");
  ASSERT_TRUE(removal.ended) << "msiexec was still running after five minutes";
  EXPECT_EQ(removal.exitCode, 0u);
  EXPECT_EQ(removal.boxes, std::vector<SeenMessageBox>());
  EXPECT_FALSE(PathExists(installed)) << "the product's file is still under Program Files";
  EXPECT_FALSE(PathExists(ExtractionFolder(contents_)));
}

// How deployment tools start a launcher file: with the installer's silent switches, often as a
// service in a window station nobody sees. Everything after the launcher's own program name
// reaches the installer exactly as typed (quotes, empty quoted arguments, Japanese text), however
// the launcher's own path was written, up to the platform's limit on a command line (beyond it the
// installer is not started at all); the installer's exit code comes back unchanged.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "launch/command_line.h"
#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/window_station.h"

class UnattendedRun : public LauncherCase {
 protected:
  std::wstring WriteUsualLauncher(const std::wstring& name = L"launcher.exe") {
    contents_ = UsualContents();
    return WriteLauncherFile(BuildLauncher(contents_), name);
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
  std::wstring seen = InstallerCommandLineUnder(launcher, L"\"" + launcher + L"\" \t  " + arguments);

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

TEST_F(UnattendedRun, CommandLineAsLongAsThePlatformTakesArrivesWhole) {
  std::wstring launcher = WriteUsualLauncher();
  // Arguments that make the installer's command line exactly as long as a command line can be.
  size_t length = kLongestCommandLine - InstallerCommandLineWith(L"").size();
  std::wstring arguments;
  while (arguments.size() + 24 < length) arguments += L"/p \"値 with spaces\" \"\" ";
  arguments.append(length - arguments.size(), L'x');

  std::wstring seen = InstallerCommandLineUnder(launcher, L"\"" + launcher + L"\" " + arguments);

  EXPECT_EQ(seen.size(), kLongestCommandLine);
  EXPECT_TRUE(seen == InstallerCommandLineWith(arguments)) << "the arguments arrived changed";
}

// On Windows the start would fail; Wine would cut the installer's command line short instead.
TEST_F(UnattendedRun, CommandLineOneUnitTooLongForTheInstallerShowsTheStartMessageAndStartsNothing) {
  std::wstring launcher = WriteUsualLauncher();
  std::wstring arguments(kLongestCommandLine + 1 - InstallerCommandLineWith(L"").size(), L'x');
  commandLine_ = L"\"" + launcher + L"\" " + arguments;

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth Setup", Wide(kInstallerNotStarted)));

  EXPECT_EQ(FolderEntries(ExtractionFolder(contents_)),
            (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.exe"}));
}

// A deployment agent running as a service: its own window station, silent switches, and a
// restart-needed result that it must see to schedule the restart.
TEST_F(UnattendedRun, InAWindowStationNobodyCanSeeTheInstallerRunsWithItsSwitchesAndItsCodeComesBack) {
  PrivateWindowStation station;
  ASSERT_TRUE(station.Made()) << "no window station of our own, error " << GetLastError();
  desktop_ = station.DesktopPath();
  installerExitCode_ = ERROR_SUCCESS_REBOOT_REQUIRED;
  std::wstring launcher = WriteUsualLauncher();

  std::wstring seen = InstallerCommandLineUnder(launcher, L"\"" + launcher + L"\" /quiet /norestart");

  EXPECT_EQ(seen, InstallerCommandLineWith(L"/quiet /norestart"));
}

// A launcher file as a publisher makes it: the user sees nothing, the installer is started in a
// folder of its own beside the package, both as they were packed, and once the installer has
// ended everything the launcher wrote is gone and the launcher exits with the installer's exit
// code, unchanged.
#include <gtest/gtest.h>
#include <windows.h>

#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/windows_arrangements.h"
#include "tests/support/process_windows.h"
#include "tests/support/sample_files.h"

using NormalRun = LauncherCase;

TEST_F(NormalRun, InstallerFindsBothFilesAsPackedAndEverythingIsRemovedAfterwards) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));

  RunOutcome run = Run(launcher);

  ExpectCleanInstall(run, contents);
  EXPECT_FALSE(run.visibleWindowSeen);
  std::vector<InstallerStart> starts = InstallerStarts();
  ASSERT_EQ(starts.size(), 1u);
  // Started with the shell's default action: no arguments, shown with SW_SHOW.
  EXPECT_EQ(CommandLineArguments(starts[0].commandLine).size(), 1u) << starts[0].commandLine;
  EXPECT_EQ(starts[0].showWindow, SW_SHOW);
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
  EXPECT_EQ(ReadBytes(launcher), BuildLauncher(contents)) << "the launcher file itself changed";
}

// A launcher file with the publisher's icon and version information runs exactly as one from the
// plain launcher: the rebuilt resource section and the moved relocations change nothing it does.
TEST_F(NormalRun, LauncherFileWithThePublishersIconAndVersionInformationInstallsTheSame) {
  LauncherContents contents = UsualContents();
  contents.stub = ApplyAppearance(contents.stub, SampleAppearance());
  ASSERT_NE(contents.stub, LauncherStub());
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents), L"Example Setup.exe");

  RunOutcome run = Run(launcher);

  ExpectCleanInstall(run, contents);
  EXPECT_FALSE(run.visibleWindowSeen);
  ASSERT_EQ(InstallerStarts().size(), 1u);
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

TEST_F(NormalRun, LauncherWaitsForTheInstallerAndCleansUpOnlyAfterItEnded) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  LauncherProcess process;
  ASSERT_TRUE(StartHeld(process, launcher));

  // The installer is held: the launcher keeps running and both files stay where they are.
  EXPECT_EQ(process.WatchUntil(nullptr, 500), LauncherProcess::Wait::kTimedOut);
  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(FolderEntries(folder), (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.exe"}));

  gate_.Release();
  ASSERT_TRUE(process.WatchUntilExit(kRunLimitMs));
  EXPECT_EQ(process.ExitCode(), installerExitCode_);
  EXPECT_EQ(process.Boxes(), std::vector<SeenMessageBox>());
  EXPECT_FALSE(PathExists(folder));
  EXPECT_EQ(InstallerStarts().size(), 1u);
}

// A failure, a restart needed, and a code with the high bit set (as from a crash): the deployment
// tool sees each exactly as the installer gave it.
TEST_F(NormalRun, InstallerExitCodeIsPassedOnUnchangedAndTheCleanUpStillRuns) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  for (DWORD code : {1603ul, 3010ul, 0xC0000135ul}) {
    SCOPED_TRACE(code);
    installerExitCode_ = code;
    ASSERT_TRUE(DeleteFileW(reportPath_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);

    RunOutcome run = Run(launcher);

    ExpectCleanInstall(run, contents);
    EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
  }
}

// A user who double-clicks twice, or starts the file again while its installer runs: the second
// run finds the installer it would write in use, shows the creation box with that path and ends
// with its code, 82, having written nothing; the first run goes on unharmed. Once both have
// ended nothing is left, whether the second box was closed at once or only after the first run
// ended.
class DoubleStart : public LauncherCase {
 protected:
  void ExpectSecondStartRefused(bool boxOpenUntilTheFirstRunEnds) {
    SKIP_UNLESS_BOXES_SHOW();
    installerExitCode_ = ERROR_SUCCESS_REBOOT_REQUIRED;
    LauncherContents contents = UsualContents();
    std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
    LauncherProcess first;
    ASSERT_TRUE(StartHeld(first, launcher));

    holdInstaller_ = false;  // an installer the second run started would not wait
    LauncherProcess second;
    ASSERT_TRUE(Start(second, launcher));
    if (boxOpenUntilTheFirstRunEnds) {
      ASSERT_TRUE(WaitForFilledBox(second.Id()));
    } else {
      ASSERT_TRUE(second.WatchUntilExit(kRunLimitMs));
    }
    std::wstring folder = ExtractionFolder(contents);
    EXPECT_EQ(ReadBytes(PathIn(folder, Wide(contents.names.installerName))), contents.installer);
    EXPECT_EQ(ReadBytes(PathIn(folder, Wide(contents.names.packageName))), contents.package);

    gate_.Release();
    RunOutcome firstRun = OutcomeOf(first, first.WatchUntilExit(kRunLimitMs));
    ASSERT_TRUE(second.WatchUntilExit(kRunLimitMs));
    EXPECT_EQ(second.ExitCode(), kTempFileNotCreated.exitCode);
    std::wstring installerPath = PathIn(folder, Wide(contents.names.installerName));
    EXPECT_EQ(second.Boxes(),
              std::vector<SeenMessageBox>{ErrorBox(L"Corvalinth", CreationText(installerPath))});
    ExpectCleanInstall(firstRun, contents);
    EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
  }

  // Waits, without closing it, until a box of the process shows its text.
  static bool WaitForFilledBox(DWORD processId) {
    for (DWORD waited = 0; waited < kRunLimitMs; waited += 10) {
      for (HWND window : TopLevelWindowsOf(processId)) {
        HWND text = GetDlgItem(window, 0xFFFF);
        if (ClassNameOf(window) == L"#32770" && text && !TextOf(text).empty()) return true;
      }
      Sleep(10);
    }
    return false;
  }
};

TEST_F(DoubleStart, SecondStartShowsTheCreationBoxAndTheFirstRunGoesOn) {
  ExpectSecondStartRefused(false);
}

TEST_F(DoubleStart, SecondBoxClosedOnlyAfterTheFirstRunEndedLeavesNothingEither) {
  ExpectSecondStartRefused(true);
}

// A launcher file downloaded with a browser carries the Mark of the Web, a Zone.Identifier stream
// that names the Internet zone. Started by a deployment tool or from a command line (not through
// Explorer, which asks first), it runs as any other and starts its installer, whose files it wrote
// itself and which carry no mark.
TEST_F(NormalRun, LauncherFileWithTheMarkOfTheWebStartsItsInstaller) {
  std::string reason = SkipReason(WindowsOnlyCase::kMarkOfTheWeb, Machine());
  if (!reason.empty()) GTEST_SKIP() << reason;
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents), L"downloaded.exe");
  ASSERT_TRUE(MarkAsDownloaded(launcher)) << "no Zone.Identifier stream, error " << GetLastError();

  ExpectCleanInstall(Run(launcher), contents);
}

// The launcher reads its payload only from the file it was started from; every honest way of
// naming that file is the same file.

TEST_F(NormalRun, LauncherStartedThroughAHardLinkInstalls) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  std::wstring link = PathIn(caseFolder_, L"linked.exe");
  ASSERT_TRUE(CreateHardLinkW(link.c_str(), launcher.c_str(), nullptr));

  ExpectCleanInstall(Run(link), contents);
}

TEST_F(NormalRun, LauncherStartedByAPathInOtherLetterCaseInstalls) {
  LauncherContents contents = UsualContents();
  SaveLauncherFile(BuildLauncher(contents), L"launcher.exe");

  ExpectCleanInstall(Run(PathIn(caseFolder_, L"LAUNCHER.EXE")), contents);
}

TEST_F(NormalRun, LauncherStartedByItsShortNameInstalls) {
  LauncherContents contents = UsualContents();
  std::wstring launcher =
      SaveLauncherFile(BuildLauncher(contents), L"Corvalinth Setup Launcher.exe");
  wchar_t shortPath[MAX_PATH];
  DWORD length = GetShortPathNameW(launcher.c_str(), shortPath, MAX_PATH);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
  std::wstring shortName(shortPath, length);
  if (shortName == launcher) GTEST_SKIP() << "the file system gives the file no short name";

  ExpectCleanInstall(Run(shortName), contents);
}

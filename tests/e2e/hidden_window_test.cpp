// The launcher's one window, while an install runs: never visible, titled "Vossimere" in the class
// "VOSSIMERE". Other programs can end the launcher through it (the exit command, whatever its
// notification code, or WM_CLOSE): the process then ends at once with 1223 (ERROR_CANCELLED) even
// though the installer still runs. Any other command changes nothing, and a second request to begin
// the install never starts a second run.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "launch/exit_codes.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"
#include "tests/support/process_windows.h"

constexpr UINT kBeginInstall = WM_APP + 100;
constexpr WORD kExitCommand = 105;
// How long a launcher ended from outside may take to go.
constexpr DWORD kPromptlyMs = 5000;

class HiddenWindow : public LauncherCase {
 protected:
  // Starts a usual launcher file, waits until its installer is held and returns the hidden window.
  HWND StartAndHoldTheInstall(LauncherProcess& process) {
    contents_ = UsualContents();
    if (!StartHeld(process, SaveLauncherFile(BuildLauncher(contents_)))) return nullptr;
    HWND window = FindLauncherWindow(process.Id());
    if (!window) ADD_FAILURE() << "no window of class VOSSIMERE belongs to the launcher";
    return window;
  }

  // The launcher went at once with the code of a window destroyed from outside and no box, while
  // its installer was still running.
  void ExpectEndedWhileTheInstallerRuns(LauncherProcess& process) {
    ASSERT_TRUE(process.WatchUntilExit(kPromptlyMs));
    EXPECT_EQ(process.ExitCode(), kExitWindowDestroyed);
    EXPECT_EQ(process.Boxes(), std::vector<SeenMessageBox>());
    std::vector<InstallerStart> starts = InstallerStarts();
    ASSERT_EQ(starts.size(), 1u);
    // The handle the installer gave; TearDown closes it.
    ASSERT_NE(starts[0].waitHandle, nullptr);
    EXPECT_EQ(WaitForSingleObject(starts[0].waitHandle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  }

  // Posted to the window while the installer is held, `message` ends the launcher at once.
  void ExpectMessageEndsTheLauncher(UINT message, WPARAM wParam) {
    LauncherProcess process;
    HWND window = StartAndHoldTheInstall(process);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, message, wParam, 0);
    ExpectEndedWhileTheInstallerRuns(process);
  }

  // The launcher finished the install normally once the installer was let go.
  void ExpectNormalEndAfterRelease(LauncherProcess& process) {
    gate_.Release();
    ASSERT_TRUE(process.WatchUntilExit(kRunLimitMs));
    EXPECT_EQ(process.ExitCode(), installerExitCode_);
    EXPECT_EQ(process.Boxes(), std::vector<SeenMessageBox>());
    EXPECT_EQ(InstallerStarts().size(), 1u);
    EXPECT_FALSE(PathExists(ExtractionFolder(contents_)));
  }

  LauncherContents contents_;
};

TEST_F(HiddenWindow, ExistsButIsNeverVisibleWhileTheInstallRuns) {
  LauncherProcess process;
  HWND window = StartAndHoldTheInstall(process);
  ASSERT_NE(window, nullptr);

  EXPECT_EQ(TextOf(window), L"Vossimere");
  EXPECT_FALSE(IsWindowVisible(window));
  LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  for (HWND other : TopLevelWindowsOf(process.Id())) {
    EXPECT_FALSE(IsWindowVisible(other)) << "a visible window of class " << ClassNameOf(other);
  }
  EXPECT_FALSE(process.VisibleWindowSeen());

  ExpectNormalEndAfterRelease(process);
}

TEST_F(HiddenWindow, ExitCommandFromTheMenuEndsTheLauncher) {
  ExpectMessageEndsTheLauncher(WM_COMMAND, MAKEWPARAM(kExitCommand, 0));
}

TEST_F(HiddenWindow, ExitCommandFromAnAcceleratorEndsTheLauncher) {
  ExpectMessageEndsTheLauncher(WM_COMMAND, MAKEWPARAM(kExitCommand, 1));
}

TEST_F(HiddenWindow, OtherCommandsChangeNothingAndTheExitCommandWorksWithAnyNotificationCode) {
  LauncherProcess process;
  HWND window = StartAndHoldTheInstall(process);
  ASSERT_NE(window, nullptr);

  // Sent, so each has been handled when the call returns; 105 in the high word is a
  // notification code, not the command.
  for (WPARAM command : {MAKEWPARAM(106, 0), MAKEWPARAM(104, 1), MAKEWPARAM(2, kExitCommand)}) {
    DWORD_PTR result = 0;
    EXPECT_TRUE(
        SendMessageTimeoutW(window, WM_COMMAND, command, 0, SMTO_ABORTIFHUNG, 5000, &result));
  }
  EXPECT_EQ(process.WatchUntil(nullptr, 500), LauncherProcess::Wait::kTimedOut);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(process.Boxes(), std::vector<SeenMessageBox>());

  PostMessageW(window, WM_COMMAND, MAKEWPARAM(kExitCommand, 0x1234), 0);
  ExpectEndedWhileTheInstallerRuns(process);
}

TEST_F(HiddenWindow, CloseEndsTheLauncher) { ExpectMessageEndsTheLauncher(WM_CLOSE, 0); }

TEST_F(HiddenWindow, SecondRequestToBeginTheInstallNeverStartsASecondRun) {
  LauncherProcess process;
  HWND window = StartAndHoldTheInstall(process);
  ASSERT_NE(window, nullptr);

  PostMessageW(window, kBeginInstall, 0, 0);
  PostMessageW(window, kBeginInstall, 0, 0);
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutW(window, kBeginInstall, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
  // A second run would start writing at once: the files in use would give it a box, or it would
  // start a second installer. Give it time to show either.
  EXPECT_EQ(process.WatchUntil(nullptr, 1500), LauncherProcess::Wait::kTimedOut);
  EXPECT_EQ(process.Boxes(), std::vector<SeenMessageBox>());
  EXPECT_EQ(InstallerStarts().size(), 1u);

  ExpectNormalEndAfterRelease(process);
}

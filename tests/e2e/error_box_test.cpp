// Every failure a user can meet: exactly one error box with the exact text, captioned with the
// product title once the trailer has been read (empty before), closed with OK; then the launcher
// exits with that message's own exit code and leaves whatever it had written where it is.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"
#include "tests/e2e/virtual_disk.h"
#include "tests/e2e/window_station.h"
#include "tests/e2e/windows_arrangements.h"
#include "tests/support/sample_files.h"

class FailedRun : public LauncherCase {};

// Failures before the trailer has been read: the caption is empty and nothing is written.

TEST_F(FailedRun, LauncherWithoutPayloadShowsNoAnchorWithEmptyCaption) {
  std::wstring launcher = SaveLauncherFile(LauncherStub());
  ExpectOnlyBox(launcher, ErrorBox(L"", Wide(kNoAnchor)));
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

// The publisher's icon and version information (build --icon, --file-version...) change nothing
// the launcher does: the same box from the rebuilt image.
TEST_F(FailedRun, CustomisedLauncherWithoutPayloadShowsTheSameBox) {
  std::wstring launcher = SaveLauncherFile(ApplyAppearance(LauncherStub(), SampleAppearance()));
  ExpectOnlyBox(launcher, ErrorBox(L"", Wide(kNoAnchor)));
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

TEST_F(FailedRun, OwnFileThatCannotBeOpenedShowsTheOpenMessage) {
  // Renamed after the process was created: the path the launcher knows itself by leads nowhere.
  std::wstring launcher = SaveLauncherFile(BuildLauncher(UsualContents()));
  std::wstring renamed = PathIn(caseFolder_, L"renamed.exe");
  ExpectOnlyBox(launcher, ErrorBox(L"", Wide(kInstallFileNotOpened)),
                [&] { ASSERT_TRUE(MoveFileW(launcher.c_str(), renamed.c_str())); });
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

TEST_F(FailedRun, TemporaryFolderWithoutUsablePathShowsTheTempPathMessage) {
  // Wine's GetTempPathW fails for a TMP value longer than MAX_PATH.
  if (!Machine().underWine) {
    GTEST_SKIP() << "relies on Wine's GetTempPathW failing for a TMP longer than MAX_PATH";
  }
  std::wstring launcher = SaveLauncherFile(BuildLauncher(UsualContents()));
  tempFolder_ = L"C:\\" + std::wstring(300, L'x');
  ExpectOnlyBox(launcher, ErrorBox(L"", Wide(kTempPathUnavailable)));
}

// Started by a service or a deployment agent, in a window station nobody can see: a box there would
// wait for an OK that never comes (and the driver could not press it either). None is shown; the
// launcher ends at once with the message's code.
TEST_F(FailedRun, InAWindowStationNobodyCanSeeNoBoxWaitsAndTheMessagesCodeEndsTheRun) {
  PrivateWindowStation station;
  ASSERT_TRUE(station.Made()) << "no window station of our own, error " << GetLastError();
  DWORD flags = 0;
  ASSERT_TRUE(station.Flags(flags));
  ASSERT_EQ(flags & WSF_VISIBLE, 0u) << "the platform made a station other than WinSta0 visible";
  desktop_ = station.DesktopPath();
  std::wstring launcher = SaveLauncherFile(LauncherStub());

  LauncherProcess process;
  ASSERT_TRUE(Start(process, launcher));
  ASSERT_TRUE(process.WatchUntilExit(5000)) << "still running: waiting for a box nobody can see";
  EXPECT_EQ(process.ExitCode(), kNoAnchor.exitCode);
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

// Run as SYSTEM by a scheduled task, as deployment tools run installs: in session 0, whose desktop
// no user sees, on a visible-flagged station or not. A launcher that fails there shows no box and
// ends at once with the message's code, which the task's script writes down.
TEST_F(FailedRun, AsSystemInSessionZeroNoBoxWaitsAndTheMessagesCodeEndsTheRun) {
  std::string reason = SkipReason(WindowsOnlyCase::kSessionZero, Machine());
  if (!reason.empty()) GTEST_SKIP() << reason;
  // A folder of its own on the system drive with a plain path, which the task's command takes.
  std::wstring plain = PlainFolder();
  ASSERT_FALSE(plain.empty());
  std::wstring folder = PathIn(plain, L"session0-" + std::to_wstring(GetCurrentProcessId()));
  ASSERT_TRUE(RemoveTree(folder) && MakeFolder(folder));
  ASSERT_TRUE(WriteBytes(PathIn(folder, L"launcher.exe"), LauncherStub()));
  // The script finds the launcher beside itself; start /wait sets ERRORLEVEL to its exit code.
  const std::string script = "@echo off\r\n"
                             "start \"\" /wait \"%~dp0launcher.exe\"\r\n"
                             ">\"%~dp0exit-code.part\" echo %errorlevel%\r\n"
                             "move /y \"%~dp0exit-code.part\" \"%~dp0exit-code.txt\" > nul\r\n";
  ASSERT_TRUE(
      WriteBytes(PathIn(folder, L"run.cmd"), std::vector<uint8_t>(script.begin(), script.end())));

  std::string problem;
  bool ended = RunScriptAsSystem(PathIn(folder, L"run.cmd"), PathIn(folder, L"exit-code.txt"),
                                 kRunLimitMs, &problem);
  std::vector<uint8_t> written = ReadBytes(PathIn(folder, L"exit-code.txt"));
  EXPECT_TRUE(RemoveTree(folder));
  RemoveDirectoryW(plain.c_str());  // unless a virtual disk's file is still there

  ASSERT_TRUE(ended) << problem << " (a box nobody can see would keep the launcher waiting)";
  EXPECT_EQ(std::string(written.begin(), written.end()),
            std::to_string(kNoAnchor.exitCode) + "\r\n");
}

// A trailer that is read but refused: the title read captions the box.

TEST_F(FailedRun, EmptyPackageNameShowsNoAnchorCaptionedWithTheTitle) {
  LauncherContents contents = UsualContents();
  contents.names.packageName.clear();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kNoAnchor)));
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

// Failures while the files are written: what was written stays.

TEST_F(FailedRun, PackageRunningPastTheEndShowsTheReadMessageAfterTheWholePieces) {
  LauncherContents contents = UsualContents(1048576 + 1000);
  std::vector<uint8_t> file =
      BuildLauncher(contents, [](AnchorRecord& record) { record.packageSize += 2000000; });
  std::wstring launcher = SaveLauncherFile(file);

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kInstallFileNotRead)));

  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(FolderEntries(folder), (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.exe"}));
  EXPECT_EQ(ReadBytes(PathIn(folder, L"setup.exe")), contents.installer);
  EXPECT_EQ(WriteTimeOrZero(PathIn(folder, L"setup.exe")), contents.installerTime);
  // The first 1 MiB piece could be read in full and was written; the second came up short.
  std::vector<uint8_t> firstPiece(contents.package.begin(), contents.package.begin() + 1048576);
  EXPECT_EQ(ReadBytes(PathIn(folder, L"Corvalinth.msi")), firstPiece);
}

TEST_F(FailedRun, InstallerOffsetPastTheEndShowsTheReadMessageAndLeavesAnEmptyFile) {
  LauncherContents contents = UsualContents();
  std::vector<uint8_t> file =
      BuildLauncher(contents, [](AnchorRecord& record) { record.installerOffset = 0x7FFF0000; });
  std::wstring launcher = SaveLauncherFile(file);

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kInstallFileNotRead)));

  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::wstring>{L"setup.exe"});
  EXPECT_EQ(ReadBytes(PathIn(folder, L"setup.exe")), std::vector<uint8_t>());
}

// A folder where the installer, or the package after the whole installer, is to be written: the
// creation message with its path, the folder left as it is.
class FolderInPlace : public EachPayloadFile {};

TEST_P(FolderInPlace, ShowsTheCreationMessageWithItsPath) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  std::wstring folder = ExtractionFolder(contents);
  ASSERT_TRUE(MakeFolder(folder));
  ASSERT_TRUE(MakeFolder(PathIn(folder, FileName(GetParam()))));

  std::wstring target = PathIn(folder, FileName(GetParam()));
  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", CreationText(target)));

  ExpectWrittenUpTo(folder, contents);
  EXPECT_TRUE(IsFolder(PathIn(folder, FileName(GetParam()))));
}

INSTANTIATE_TEST_SUITE_P(Files, FolderInPlace,
                         testing::Values(PayloadFile::kInstaller, PayloadFile::kPackage),
                         PayloadFileLabel);

// A symbolic link made on the Linux side, removed there again when the test ends.
class LinuxLink {
 public:
  LinuxLink(const std::wstring& folder, const std::wstring& name, const std::string& target)
      : folder_(folder), name_(name), made_(MakeLinuxLink(folder, name, target)) {}
  ~LinuxLink() {
    if (made_) {
      EXPECT_TRUE(RemoveLinuxLink(folder_, name_));
    }
  }
  bool Made() const { return made_; }

 private:
  std::wstring folder_;
  std::wstring name_;
  bool made_;
};

// The installer's target opens fine and takes no byte: every write ends with "disk full". Under
// Wine the target is a link to /dev/full; on Windows the temporary folder lies on a small virtual
// disk that is filled up before the run.
TEST_F(FailedRun, TargetThatCannotBeWrittenShowsTheWriteMessage) {
  CHOOSE_WAY_OR_SKIP(choice, Arrangement::kFullVolume);
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  std::unique_ptr<VirtualDisk> disk;
  if (choice.way == Way::kWindows) {
    UseTempFolderOnVirtualDisk(L"full", disk);
    if (HasFatalFailure()) return;
  }
  std::wstring folder = ExtractionFolder(contents);
  ASSERT_TRUE(MakeFolder(folder));
  std::unique_ptr<LinuxLink> full;
  if (choice.way == Way::kLinux) {
    full = std::make_unique<LinuxLink>(folder, L"setup.exe", "/dev/full");
    ASSERT_TRUE(full->Made());
  } else {
    ASSERT_TRUE(disk->LeaveFree(0)) << "the virtual disk could not be filled";
  }

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kTempFileNotWritten)));

  EXPECT_EQ(FolderEntries(folder), std::vector<std::wstring>{L"setup.exe"});
}

// The files were written but the installer cannot be started: they stay, as written.

TEST_F(FailedRun, InstallerWithoutAssociationShowsTheStartMessageAndLeavesBothFiles) {
  LauncherContents contents = UsualContents();
  // Not a program either: Wine's shell runs a program whatever its name ends with.
  contents.installer = PatternBytes(5000, 8);
  contents.names.installerName = u"setup.corvalinth-unassociated";
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kInstallerNotStarted)));

  std::wstring folder = ExtractionFolder(contents);
  std::wstring installer = PathIn(folder, L"setup.corvalinth-unassociated");
  EXPECT_EQ(FolderEntries(folder),
            (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.corvalinth-unassociated"}));
  EXPECT_EQ(ReadBytes(installer), contents.installer);
  EXPECT_EQ(WriteTimeOrZero(installer), contents.installerTime);
  EXPECT_EQ(ReadBytes(PathIn(folder, L"Corvalinth.msi")), contents.package);
  EXPECT_EQ(WriteTimeOrZero(PathIn(folder, L"Corvalinth.msi")), contents.packageTime);
}

TEST_F(FailedRun, InstallerThatIsNoProgramShowsTheStartMessageAndLeavesBothFiles) {
  LauncherContents contents = UsualContents();
  contents.installer = PatternBytes(5000, 9);
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kInstallerNotStarted)));

  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(ReadBytes(PathIn(folder, L"setup.exe")), contents.installer);
  EXPECT_EQ(ReadBytes(PathIn(folder, L"Corvalinth.msi")), contents.package);
  EXPECT_EQ(WriteTimeOrZero(PathIn(folder, L"Corvalinth.msi")), contents.packageTime);
}

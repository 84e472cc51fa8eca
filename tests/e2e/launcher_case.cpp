#include "tests/e2e/launcher_case.h"

#include "launch/messages.h"

#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/test_folder.h"
#include "tests/support/installer_protocol.h"
#include "tests/support/sample_files.h"

static std::wstring& Root() {
  static std::wstring root;
  return root;
}

void SetWorkRoot(const std::wstring& folder) { Root() = folder; }
const std::wstring& WorkRoot() { return Root(); }

void LauncherCase::SetUp() {
  // Numbered, not named after the test: the paths inside must stay well below MAX_PATH, which
  // Wine still applies to the temporary folder, wherever the build tree lies.
  static int cases = 0;
  caseFolder_ = PathIn(WorkRoot(), L"case" + std::to_wstring(++cases));
  ASSERT_TRUE(RemoveTree(caseFolder_));
  ASSERT_TRUE(MakeFolder(caseFolder_));
  reportPath_ = PathIn(caseFolder_, L"installer-report.txt");
  UseTempFolder(L"tmp");
}

void LauncherCase::TearDown() {
  // A held installer is let go, and every fake installer that ran is waited for, before the folder
  // goes: through the handle it gave this program (its process id may belong to another process by
  // now). The NSIS-built ones give none; the launcher waited for each of them.
  gate_.Release();
  for (const InstallerStart& start : InstallerStarts()) {
    if (!start.waitHandle) continue;
    WaitForSingleObject(start.waitHandle, 10000);
    CloseHandle(start.waitHandle);
  }
  EXPECT_TRUE(RemoveTree(caseFolder_)) << "the case folder could not be removed";
}

LauncherContents LauncherCase::UsualContents(size_t packageSize) const {
  return SampleContents(LauncherStub(), FakeInstaller(), packageSize);
}

std::wstring LauncherCase::SaveLauncherFile(const std::vector<uint8_t>& bytes,
                                            const std::wstring& name) {
  std::wstring path = PathIn(caseFolder_, name);
  EXPECT_TRUE(WriteBytes(path, bytes)) << "could not write the launcher file";
  return path;
}

void LauncherCase::UseTempFolder(const std::wstring& name) {
  tempFolder_ = PathIn(caseFolder_, name);
  ASSERT_TRUE(MakeFolder(tempFolder_));
}

void LauncherCase::UseTempFolderOnVirtualDisk(const std::wstring& name,
                                              std::unique_ptr<VirtualDisk>& disk) {
  disk = std::make_unique<VirtualDisk>(name, 16, VirtualDisk::Format::kNtfs);
  ASSERT_TRUE(disk->Made()) << disk->Problem();
  tempFolder_ = PathIn(disk->Root(), L"tmp");
  ASSERT_TRUE(MakeFolder(tempFolder_));
}

std::wstring LauncherCase::ExtractionFolder(const LauncherContents& contents) const {
  return TempPath() + Wide(contents.names.folderName);
}

bool LauncherCase::Start(LauncherProcess& launcher, const std::wstring& path,
                         const std::function<void()>& whileSuspended) {
  EnvironmentChanges environment = {
      {L"TMP", tempFolder_},
      {L"TEMP", tempFolder_},
      {kReportPathVariable, reportPath_},
      {kExitCodeVariable, std::to_wstring(installerExitCode_)},
      {kWaiterProcessVariable, std::to_wstring(GetCurrentProcessId())},
  };
  if (!installerLeavesFile_.empty())
    environment.push_back({kLeaveFileVariable, installerLeavesFile_});
  if (installerLeavesFolder_) environment.push_back({kLeaveFolderVariable, L"1"});
  if (!installerMakesReadOnly_.empty())
    environment.push_back({kReadOnlyFileVariable, installerMakesReadOnly_});
  if (holdInstaller_) {
    environment.push_back({kStartedEventVariable, gate_.StartedName()});
    environment.push_back({kReleaseEventVariable, gate_.ReleaseName()});
  }
  launcher.SetCommandLine(commandLine_);
  launcher.SetDesktop(desktop_);
  return launcher.Start(path, caseFolder_, environment, whileSuspended);
}

RunOutcome OutcomeOf(LauncherProcess& launcher, bool ended) {
  RunOutcome outcome;
  outcome.ended = ended;
  outcome.exitCode = launcher.ExitCode();
  outcome.boxes = launcher.Boxes();
  outcome.visibleWindowSeen = launcher.VisibleWindowSeen();
  return outcome;
}

RunOutcome LauncherCase::Run(const std::wstring& path,
                             const std::function<void()>& whileSuspended) {
  LauncherProcess launcher;
  if (!Start(launcher, path, whileSuspended)) {
    ADD_FAILURE() << "the launcher could not be started, error " << GetLastError();
    return RunOutcome();
  }
  bool ended = launcher.WatchUntilExit(kRunLimitMs);
  return OutcomeOf(launcher, ended);
}

bool LauncherCase::StartHeld(LauncherProcess& launcher, const std::wstring& path) {
  holdInstaller_ = true;
  if (!Start(launcher, path)) {
    ADD_FAILURE() << "the launcher could not be started, error " << GetLastError();
    return false;
  }
  if (launcher.WatchUntil(gate_.Started(), kRunLimitMs) != LauncherProcess::Wait::kSignalled) {
    ADD_FAILURE() << "the installer did not start; the launcher "
                  << (launcher.HasExited() ? "ended with " + std::to_string(launcher.ExitCode())
                                           : std::string("still runs"))
                  << ", boxes seen: " << launcher.Boxes().size();
    return false;
  }
  return true;
}

std::wstring LauncherCase::CreationText(const std::wstring& path) {
  return Wide(kTempFileNotCreated) + L"\r\n\r\n" + path;
}

// The exit code the launcher ends with after a box with this text: its message's own.
static DWORD ExitCodeAfter(const std::wstring& text) {
  for (const LauncherMessage* message :
       {&kOwnPathUnavailable, &kTempPathUnavailable, &kInstallFileNotOpened, &kNoAnchor,
        &kTempFileNotCreated, &kInstallFileNotRead, &kTempFileNotWritten, &kInstallerNotStarted}) {
    std::wstring sentence = Wide(*message);
    if (text == sentence || text.rfind(sentence + L"\r\n\r\n", 0) == 0) return message->exitCode;
  }
  ADD_FAILURE() << "the launcher has no message with this text";
  return STILL_ACTIVE;
}

void LauncherCase::ExpectOnlyBox(const std::wstring& launcher, const SeenMessageBox& box,
                                 const std::function<void()>& whileSuspended) {
  RunOutcome run = Run(launcher, whileSuspended);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, ExitCodeAfter(box.text));
  EXPECT_EQ(InstallerStarts().size(), 0u);
  // Where no box shows by design the run above is the unattended one: it ended at once, with the
  // code, and the box itself cannot be shown.
  std::string noBox = BoxSkipReason(Machine());
  if (!noBox.empty()) {
    EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>());
    GTEST_SKIP() << noBox;
  }
  EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>{box});
}

void LauncherCase::ExpectCleanInstall(const RunOutcome& run,
                                      const LauncherContents& contents) const {
  ASSERT_TRUE(run.ended) << "the launcher was still running after " << kRunLimitMs << " ms";
  EXPECT_EQ(run.exitCode, installerExitCode_);
  EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>());
  std::vector<InstallerStart> starts = InstallerStarts();
  ASSERT_EQ(starts.size(), 1u);
  std::wstring folder = ExtractionFolder(contents);
  EXPECT_TRUE(starts[0].complete);
  EXPECT_EQ(starts[0].workingDirectory, folder);
  EXPECT_EQ(starts[0].modulePath, PathIn(folder, Wide(contents.names.installerName)));
  EXPECT_EQ(starts[0].files, SortedByName({ExpectedFile(Wide(contents.names.installerName),
                                                        contents.installer, contents.installerTime),
                                           ExpectedFile(Wide(contents.names.packageName),
                                                        contents.package, contents.packageTime)}));
  EXPECT_FALSE(PathExists(folder));
}

std::wstring FileName(PayloadFile file) {
  return file == PayloadFile::kInstaller ? L"setup.exe" : L"Corvalinth.msi";
}

std::string PayloadFileLabel(const testing::TestParamInfo<PayloadFile>& info) {
  return info.param == PayloadFile::kInstaller ? "Installer" : "Package";
}

void EachPayloadFile::ExpectWrittenUpTo(const std::wstring& folder,
                                        const LauncherContents& contents) const {
  if (GetParam() == PayloadFile::kInstaller) {
    EXPECT_EQ(FolderEntries(folder), std::vector<std::wstring>{L"setup.exe"});
    return;
  }
  EXPECT_EQ(FolderEntries(folder), (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.exe"}));
  EXPECT_EQ(ReadBytes(PathIn(folder, L"setup.exe")), contents.installer);
  EXPECT_EQ(WriteTimeOrZero(PathIn(folder, L"setup.exe")), contents.installerTime);
}

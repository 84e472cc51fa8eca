// Faults of the machine the launcher runs on, met while it writes the two files: a target another
// program holds open, a disk that fills up. Each shows exactly one box, captioned with the product
// title, and the launcher exits with that message's exit code, leaving what it wrote where it is.
// And a scanner that holds each new file for a moment, which the run waits out for a few seconds.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>

#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"
#include "tests/e2e/virtual_disk.h"
#include "tests/support/launcher_process.h"

class WriteFault : public LauncherCase {};

// A file another program has open without sharing, with these bytes in it; closed at the end.
class HeldFile {
 public:
  HeldFile(const std::wstring& path, const std::string& text)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {
    DWORD written = 0;
    held_ = handle_ != INVALID_HANDLE_VALUE &&
            WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size();
  }
  ~HeldFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Held() const { return held_; }

 private:
  HANDLE handle_;
  bool held_ = false;
};

static std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The installer, or the package after the whole installer, stops at a file that another program
// holds: the creation message with that path, the held file untouched.
class HeldTarget : public EachPayloadFile {};

TEST_P(HeldTarget, HeldOpenByAnotherProgramShowsTheCreationMessageWithItsPath) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  std::wstring folder = ExtractionFolder(contents);
  ASSERT_TRUE(MakeFolder(folder));
  std::wstring target = PathIn(folder, FileName(GetParam()));
  {
    HeldFile held(target, "another program's file");
    ASSERT_TRUE(held.Held());

    ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", CreationText(target)));
  }
  ExpectWrittenUpTo(folder, contents);
  EXPECT_EQ(ReadBytes(target), Bytes("another program's file"));
}

INSTANTIATE_TEST_SUITE_P(Files, HeldTarget,
                         testing::Values(PayloadFile::kInstaller, PayloadFile::kPackage),
                         PayloadFileLabel);

// A small file system of its own, mounted on a folder of the case, unmounted when the test ends.
class SmallFileSystem {
 public:
  SmallFileSystem(const std::wstring& folder, const std::wstring& name, size_t bytes)
      : folder_(folder), name_(name), mounted_(MountSmallFileSystem(folder, name, bytes)) {}
  ~SmallFileSystem() {
    if (mounted_) {
      EXPECT_TRUE(UnmountSmallFileSystem(folder_, name_));
    }
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool Mounted() const { return mounted_; }

 private:
  std::wstring folder_;
  std::wstring name_;
  bool mounted_;
};

// Under Wine the temporary folder is a tmpfs mounted from the Linux side; on Windows it lies on a
// small virtual disk filled up to the same room.
TEST_F(WriteFault, DiskThatFillsUpWhileThePackageIsWrittenShowsTheWriteMessage) {
  CHOOSE_WAY_OR_SKIP(choice, Arrangement::kSmallVolume);
  // Room for the installer and part of the package's first 1 MiB piece, not for all of it.
  const size_t room = 512 * 1024;
  LauncherContents contents = UsualContents(1048576 + 1000);
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  std::unique_ptr<SmallFileSystem> tmpfs;
  std::unique_ptr<VirtualDisk> disk;
  if (choice.way == Way::kLinux) {
    UseTempFolder(L"small");
    tmpfs = std::make_unique<SmallFileSystem>(caseFolder_, L"small", room);
    if (!tmpfs->Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
  } else {
    UseTempFolderOnVirtualDisk(L"small", disk);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(disk->LeaveFree(room)) << "the virtual disk could not be filled";
  }

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kTempFileNotWritten)));

  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(FolderEntries(folder), (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.exe"}));
  EXPECT_EQ(ReadBytes(PathIn(folder, L"setup.exe")), contents.installer);
  EXPECT_EQ(WriteTimeOrZero(PathIn(folder, L"setup.exe")), contents.installerTime);
  // What fitted of the package is its beginning, and not all of it.
  std::vector<uint8_t> written = ReadBytes(PathIn(folder, L"Corvalinth.msi"));
  EXPECT_LT(written.size(), contents.package.size());
  EXPECT_TRUE(std::equal(written.begin(), written.end(), contents.package.begin()));
}

// The stand-in scanner (tests/e2e/stand_in_scanner.cpp) watching a folder tree, from the moment it
// is made until it goes.
class StandInScanner {
 public:
  enum class Sharing { kReading, kReadingAndDeletion, kNothing };

  // Returns once the scanner has set its ready event (it holds every file that is in the folder,
  // and watches for new ones), or has ended, or has not got that far within the run limit.
  StandInScanner(const std::wstring& folder, DWORD holdMs, Sharing sharing,
                 const std::wstring& report)
      : report_(report) {
    static LONG scanners = 0;
    std::wstring readyName = L"Local\\vossimere-e2e-" + std::to_wstring(GetCurrentProcessId()) +
                             L"-scanner-" + std::to_wstring(InterlockedIncrement(&scanners));
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    if (!ready) return;
    std::wstring commandLine = L"\"" + ScannerPath() + L"\" \"" + folder + L"\" " +
                               std::to_wstring(holdMs) +
                               (sharing == Sharing::kReading              ? L" read"
                                : sharing == Sharing::kReadingAndDeletion ? L" delete"
                                                                          : L" none") +
                               L" \"" + report + L"\" " + readyName;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process_)) {
      CloseHandle(process_.hThread);
      HANDLE either[] = {ready, process_.hProcess};
      watching_ = WaitForMultipleObjects(2, either, FALSE, kRunLimitMs) == WAIT_OBJECT_0;
    }
    CloseHandle(ready);
  }
  ~StandInScanner() {
    if (!process_.hProcess) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
  }
  StandInScanner(const StandInScanner&) = delete;
  StandInScanner& operator=(const StandInScanner&) = delete;

  bool Watching() const { return watching_; }

  // The files it has held, sorted.
  std::vector<std::wstring> HeldFiles() const {
    std::vector<uint8_t> bytes = ReadBytes(report_);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
      std::copy(bytes.begin(), bytes.begin() + text.size() * 2,
                reinterpret_cast<uint8_t*>(&text[0]));
    std::vector<std::wstring> files;
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
         start = end + 1) {
      files.push_back(text.substr(start, end - start));
    }
    std::sort(files.begin(), files.end());
    return files;
  }

 private:
  std::wstring report_;
  PROCESS_INFORMATION process_ = {};
  bool watching_ = false;
};

// The run waits at most five seconds in all for holders; these holds are well inside that, or
// well beyond it.
constexpr DWORD kShortHoldMs = 700;
constexpr DWORD kLongHoldMs = 12000;

class ScannerHold : public LauncherCase {
 protected:
  void TearDown() override {
    scanner_.reset();  // lets go of what it holds before the case folder goes
    LauncherCase::TearDown();
  }

  void StartScanner(DWORD holdMs, StandInScanner::Sharing sharing) {
    scanner_ = std::make_unique<StandInScanner>(tempFolder_, holdMs, sharing,
                                                PathIn(caseFolder_, L"scanner-report.txt"));
    ASSERT_TRUE(scanner_->Watching()) << "the stand-in scanner did not start";
  }

  // The paths of the two files, sorted.
  std::vector<std::wstring> BothFiles(const LauncherContents& contents) const {
    std::wstring folder = ExtractionFolder(contents);
    std::vector<std::wstring> files = {PathIn(folder, Wide(contents.names.installerName)),
                                       PathIn(folder, Wide(contents.names.packageName))};
    std::sort(files.begin(), files.end());
    return files;
  }

  std::unique_ptr<StandInScanner> scanner_;
};

// The scanner opens each file as soon as the launcher has written it and keeps it from being
// deleted for a while: the deletions wait for it.
TEST_F(ScannerHold, FilesHeldForAMomentAgainstDeletionAreStillRemovedAndTheCodeComesBack) {
  installerExitCode_ = 3010;
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  StartScanner(kShortHoldMs, StandInScanner::Sharing::kReading);

  ExpectCleanInstall(Run(launcher), contents);
  EXPECT_EQ(scanner_->HeldFiles(), BothFiles(contents));
}

// A scanner that lets others delete what it holds: the files are deleted through the run's checked
// handle. Where the name goes at once (POSIX deletion on NTFS) the folder is removed at once; where
// a deleted file keeps its name until the scanner lets go (Wine, FAT, shares), the folder's removal
// waits for that within the run's five seconds. Either way nothing is left.
TEST_F(ScannerHold, FilesHeldWithDeleteSharingAreDeletedAndTheFolderStillGoes) {
  installerExitCode_ = 3010;
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  StartScanner(kShortHoldMs, StandInScanner::Sharing::kReadingAndDeletion);

  ExpectCleanInstall(Run(launcher), contents);
  EXPECT_EQ(scanner_->HeldFiles(), BothFiles(contents));
}

// Files left by an earlier run, held without any sharing when the launcher comes to replace them:
// the creation of each waits until the scanner lets go.
TEST_F(ScannerHold, LeftoverFilesHeldWithoutSharingAreWaitedForThenReplaced) {
  installerExitCode_ = 3010;
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  ASSERT_TRUE(MakeFolder(ExtractionFolder(contents)));
  for (const std::wstring& file : BothFiles(contents)) {
    ASSERT_TRUE(WriteBytes(file, Bytes("left by an earlier run")));
  }
  StartScanner(kShortHoldMs, StandInScanner::Sharing::kNothing);
  ASSERT_EQ(scanner_->HeldFiles(), BothFiles(contents));

  ExpectCleanInstall(Run(launcher), contents);
}

// A scanner that shares nothing takes a new file whenever it opens it first: between the write and
// the launcher's own hold (which then waits), or only once the launcher let go before deleting it
// (which then waits). Which of the two happens differs from run to run; both end cleanly.
TEST_F(ScannerHold, NewFilesHeldWithoutSharingAreWaitedForWhereverTheScannerTakesThem) {
  installerExitCode_ = 1641;
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  StartScanner(kShortHoldMs, StandInScanner::Sharing::kNothing);

  ExpectCleanInstall(Run(launcher), contents);
}

// Held for far longer than the run waits: the installer ran and its code comes back, but the files
// and the folder stay, as they did before the launcher waited for anybody.
TEST_F(ScannerHold, AHoldFarBeyondTheWaitLeavesTheFilesAndTheFolderInPlace) {
  installerExitCode_ = 3010;
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  StartScanner(kLongHoldMs, StandInScanner::Sharing::kReading);

  RunOutcome run = Run(launcher);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 3010u);
  EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>());
  EXPECT_EQ(InstallerStarts().size(), 1u);
  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(FolderEntries(folder), (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.exe"}));
  EXPECT_EQ(ReadBytes(PathIn(folder, L"Corvalinth.msi")), contents.package);
}

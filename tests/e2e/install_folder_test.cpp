// The extraction folder before and after the install: an existing folder is reused and its
// same-named files replaced, also when they were left read-only, hidden or system; a file the
// installer leaves read-only is removed all the same; a folder the installer left files in stays,
// holding only those. On a FAT32 volume too, where a folder left behind is reused though nobody
// can tell who made it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <memory>

#include "launch/held_step.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/virtual_disk.h"
#include "tests/support/installer_protocol.h"

class InstallFolder : public LauncherCase {
 protected:
  // Runs the launcher file and says how long the run took, how it ended and what it left, for the
  // record of the case's output.
  RunOutcome TimedRun(const std::wstring& launcher, const LauncherContents& contents,
                      ULONGLONG& tookMs) {
    ULONGLONG begun = GetTickCount64();
    RunOutcome run = Run(launcher);
    tookMs = GetTickCount64() - begun;
    std::wcout << L"  the run took " << tookMs << L" ms, ended with " << run.exitCode << L", left:";
    for (const std::wstring& name : FolderEntries(ExtractionFolder(contents)))
      std::wcout << L" " << name;
    std::wcout << std::endl;
    return run;
  }

  // How long a run of the same launcher file takes with nothing in its way and no leftovers: a
  // clean install, made just before the run it is compared with, so that a loaded machine slows
  // both alike.
  ULONGLONG UnhinderedRunMs(const std::wstring& launcher, const LauncherContents& contents) {
    EXPECT_TRUE(DeleteFileW(reportPath_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    std::wcout << L"  with nothing in the way:" << std::endl;
    ULONGLONG tookMs = 0;
    ExpectCleanInstall(TimedRun(launcher, contents, tookMs), contents);
    EXPECT_TRUE(DeleteFileW(reportPath_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    return tookMs;
  }

  // Nothing waited for a holder. A run that waited out the run's whole wait takes that much longer
  // than the same run with nothing in its way; the time of the run alone says nothing on a loaded
  // machine (one took 7.5 s without waiting at all).
  static void ExpectNoWait(ULONGLONG tookMs, ULONGLONG unhinderedMs) {
    EXPECT_LT(tookMs, unhinderedMs + kHoldWaitLimitMs)
        << "with nothing in the way the run took " << unhinderedMs << " ms";
  }
};

TEST_F(InstallFolder, FolderWithAFileTheInstallerLeftStaysWithoutTheTwoFiles) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  installerLeavesFile_ = L"install.log";

  RunOutcome run = Run(launcher);

  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>());
  ASSERT_EQ(InstallerStarts().size(), 1u);
  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::wstring>{L"install.log"});
  std::string left = kLeftFileContents;
  EXPECT_EQ(ReadBytes(PathIn(folder, L"install.log")),
            std::vector<uint8_t>(left.begin(), left.end()));
}

TEST_F(InstallFolder, ExistingFolderIsReusedAndSameNamedFilesAreReplaced) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  // Older and longer files of the same names: each must be truncated, not just written over.
  std::wstring folder = ExtractionFolder(contents);
  ASSERT_TRUE(MakeFolder(folder));
  std::wstring oldInstaller = PathIn(folder, L"setup.exe");
  std::wstring oldPackage = PathIn(folder, L"Corvalinth.msi");
  ASSERT_TRUE(
      WriteBytes(oldInstaller, std::vector<uint8_t>(contents.installer.size() + 4096, 0xEE)));
  ASSERT_TRUE(WriteBytes(oldPackage, std::vector<uint8_t>(contents.package.size() + 4096, 0xDD)));
  ASSERT_TRUE(SetLastWriteTime(oldInstaller, 0x01C0000000000000));
  ASSERT_TRUE(SetLastWriteTime(oldPackage, 0x01C0000000000000));

  RunOutcome run = Run(launcher);

  ExpectCleanInstall(run, contents);
}

// A file of either name left read-only (by an installer, a copy tool, an earlier version), or also
// hidden and system, is replaced and removed like any other leftover: Windows refuses to overwrite
// or delete such a file until those attributes are cleared, and nobody holds it, so nothing is
// waited for.
TEST_F(InstallFolder, LeftoverReadOnlyHiddenOrSystemIsReplacedAndRemovedWithoutWaiting) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  std::wstring folder = ExtractionFolder(contents);
  for (const std::wstring& name :
       {FileName(PayloadFile::kInstaller), FileName(PayloadFile::kPackage)}) {
    for (DWORD attributes :
         {DWORD{FILE_ATTRIBUTE_READONLY},
          DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}) {
      SCOPED_TRACE(testing::Message() << "left " << name << " with attributes " << attributes);
      ULONGLONG unhinderedMs = UnhinderedRunMs(launcher, contents);
      ASSERT_TRUE(MakeFolder(folder));
      std::wstring left = PathIn(folder, name);
      ASSERT_TRUE(WriteBytes(left, std::vector<uint8_t>(100, 0xEE)));
      ASSERT_TRUE(SetFileAttributesW(left.c_str(), attributes));
      ASSERT_EQ(GetFileAttributesW(left.c_str()) & attributes, attributes);

      ULONGLONG tookMs = 0;
      RunOutcome run = TimedRun(launcher, contents, tookMs);

      ExpectCleanInstall(run, contents);
      ExpectNoWait(tookMs, unhinderedMs);
      ASSERT_TRUE(RemoveTree(folder));
    }
  }
}

// An installer that makes the package, or its own file, read-only before it exits: both files and
// the folder go all the same, at once.
TEST_F(InstallFolder, FileTheInstallerLeftReadOnlyIsRemovedWithoutWaiting) {
  installerExitCode_ = 3010;
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  for (const std::wstring& name :
       {FileName(PayloadFile::kPackage), FileName(PayloadFile::kInstaller)}) {
    SCOPED_TRACE(testing::Message() << "the installer made " << name << " read-only");
    installerMakesReadOnly_.clear();
    ULONGLONG unhinderedMs = UnhinderedRunMs(launcher, contents);
    installerMakesReadOnly_ = name;

    ULONGLONG tookMs = 0;
    RunOutcome run = TimedRun(launcher, contents, tookMs);

    ExpectCleanInstall(run, contents);
    ExpectNoWait(tookMs, unhinderedMs);
    ASSERT_TRUE(RemoveTree(ExtractionFolder(contents)));
  }
}

// A temporary folder on a FAT32 volume, which keeps no owners and no access lists, and records
// last-write times to two seconds, in local time.
class InstallFolderOnFat32 : public LauncherCase {
 protected:
  void SetUp() override {
    LauncherCase::SetUp();
    if (HasFatalFailure()) return;
    std::string reason = SkipReason(WindowsOnlyCase::kFat32TemporaryFolder, Machine());
    if (!reason.empty()) GTEST_SKIP() << reason;
    disk_ = std::make_unique<VirtualDisk>(L"fat32", 100, VirtualDisk::Format::kFat32);
    ASSERT_TRUE(disk_->Made()) << disk_->Problem();
    tempFolder_ = PathIn(disk_->Root(), L"tmp");
    ASSERT_TRUE(MakeFolder(tempFolder_));
  }
  void TearDown() override {
    LauncherCase::TearDown();
    disk_.reset();
  }

  // The installer's start number `index` found both files as packed, their times within the
  // volume's two seconds, in the extraction folder.
  void ExpectBothFilesSeen(size_t index, const LauncherContents& contents) const {
    std::vector<InstallerStart> starts = InstallerStarts();
    ASSERT_GT(starts.size(), index);
    const InstallerStart& start = starts[index];
    EXPECT_TRUE(start.complete);
    EXPECT_EQ(start.workingDirectory, ExtractionFolder(contents));
    for (const SeenFile& expected :
         {ExpectedFile(L"setup.exe", contents.installer, contents.installerTime),
          ExpectedFile(L"Corvalinth.msi", contents.package, contents.packageTime)}) {
      SCOPED_TRACE(std::string(expected.name.begin(), expected.name.end()));
      auto seen = std::find_if(start.files.begin(), start.files.end(),
                               [&](const SeenFile& file) { return file.name == expected.name; });
      ASSERT_NE(seen, start.files.end());
      EXPECT_EQ(seen->size, expected.size);
      EXPECT_EQ(seen->hash, expected.hash);
      // FAT keeps local time, which Windows turns back with today's daylight saving: a packed
      // date on the other side of a change reads an hour off.
      const uint64_t twoSeconds = 20000000, anHour = 36000000000;
      uint64_t apart = seen->lastWriteTime > expected.lastWriteTime
                           ? seen->lastWriteTime - expected.lastWriteTime
                           : expected.lastWriteTime - seen->lastWriteTime;
      EXPECT_TRUE(apart <= twoSeconds ||
                  (apart >= anHour - twoSeconds && apart <= anHour + twoSeconds))
          << "the packed time, as FAT keeps it, is " << apart << " hundreds of nanoseconds off";
    }
  }

  std::unique_ptr<VirtualDisk> disk_;
};

TEST_F(InstallFolderOnFat32, FirstRunInstallsAndLeavesNothing) {
  installerExitCode_ = 3010;
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));

  RunOutcome run = Run(launcher);

  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 3010u);
  EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>());
  EXPECT_EQ(InstallerStarts().size(), 1u);
  ExpectBothFilesSeen(0, contents);
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

// Nothing tells the folder an earlier run left from one another user planted there: it is reused.
TEST_F(InstallFolderOnFat32, SecondRunReusesTheFolderAnEarlierRunLeftBehind) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  installerLeavesFile_ = L"install.log";
  RunOutcome first = Run(launcher);
  ASSERT_TRUE(first.ended);
  ASSERT_EQ(FolderEntries(ExtractionFolder(contents)), std::vector<std::wstring>{L"install.log"});

  installerLeavesFile_.clear();
  installerExitCode_ = 1641;
  RunOutcome second = Run(launcher);

  ASSERT_TRUE(second.ended);
  EXPECT_EQ(second.exitCode, 1641u);
  EXPECT_EQ(second.boxes, std::vector<SeenMessageBox>());
  EXPECT_EQ(InstallerStarts().size(), 2u);
  ExpectBothFilesSeen(1, contents);
  EXPECT_EQ(FolderEntries(ExtractionFolder(contents)), std::vector<std::wstring>{L"install.log"});
}

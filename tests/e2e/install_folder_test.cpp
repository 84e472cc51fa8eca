// The extraction folder before and after the install: an existing folder is reused and its
// same-named files replaced, also when they were left read-only, hidden or system; a file the
// installer leaves read-only is removed all the same; a folder the installer left files in stays,
// holding only those.
#include <gtest/gtest.h>
#include <windows.h>

#include <iostream>

#include "launch/extraction_folder.h"
#include "tests/e2e/installer_protocol.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"

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

  // Nothing waited for a holder: a run that waited its whole wait would take at least this long.
  static void ExpectNoWait(ULONGLONG tookMs) { EXPECT_LT(tookMs, ULONGLONG{kHoldWaitLimitMs}); }
};

TEST_F(InstallFolder, FolderWithAFileTheInstallerLeftStaysWithoutTheTwoFiles) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
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
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
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
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
  std::wstring folder = ExtractionFolder(contents);
  for (const std::wstring& name :
       {FileName(PayloadFile::kInstaller), FileName(PayloadFile::kPackage)}) {
    for (DWORD attributes :
         {DWORD{FILE_ATTRIBUTE_READONLY},
          DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}) {
      SCOPED_TRACE(testing::Message() << "left " << name << " with attributes " << attributes);
      ASSERT_TRUE(DeleteFileW(reportPath_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
      ASSERT_TRUE(MakeFolder(folder));
      std::wstring left = PathIn(folder, name);
      ASSERT_TRUE(WriteBytes(left, std::vector<uint8_t>(100, 0xEE)));
      ASSERT_TRUE(SetFileAttributesW(left.c_str(), attributes));
      ASSERT_EQ(GetFileAttributesW(left.c_str()) & attributes, attributes);

      ULONGLONG tookMs = 0;
      RunOutcome run = TimedRun(launcher, contents, tookMs);

      ExpectCleanInstall(run, contents);
      ExpectNoWait(tookMs);
      ASSERT_TRUE(RemoveTree(folder));
    }
  }
}

// An installer that makes the package, or its own file, read-only before it exits: both files and
// the folder go all the same, at once.
TEST_F(InstallFolder, FileTheInstallerLeftReadOnlyIsRemovedWithoutWaiting) {
  installerExitCode_ = 3010;
  LauncherContents contents = UsualContents();
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
  for (const std::wstring& name :
       {FileName(PayloadFile::kPackage), FileName(PayloadFile::kInstaller)}) {
    SCOPED_TRACE(testing::Message() << "the installer made " << name << " read-only");
    ASSERT_TRUE(DeleteFileW(reportPath_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    installerMakesReadOnly_ = name;

    ULONGLONG tookMs = 0;
    RunOutcome run = TimedRun(launcher, contents, tookMs);

    ExpectCleanInstall(run, contents);
    ExpectNoWait(tookMs);
    ASSERT_TRUE(RemoveTree(ExtractionFolder(contents)));
  }
}

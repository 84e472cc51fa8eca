// The extraction folder before and after the install: an existing folder is reused and its
// same-named files replaced; a folder the installer left files in stays, holding only those.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/e2e/installer_protocol.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"

using InstallFolder = LauncherCase;

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

// Embedded files of the sizes where the copy changes: nothing at all, exactly one 1 MiB piece, and
// one byte more than that.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"

class PayloadSize : public LauncherCase {
 protected:
  // Runs the launcher file and checks that the installer saw both files exactly as packed and
  // that everything was removed afterwards.
  void ExpectInstallerSees(const LauncherContents& contents) {
    std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
    RunOutcome run = Run(launcher);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>());
    std::vector<InstallerStart> starts = InstallerStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].files,
              SortedByName({ExpectedFile(L"setup.exe", contents.installer, contents.installerTime),
                            ExpectedFile(L"Corvalinth.msi", contents.package, contents.packageTime)}));
    EXPECT_FALSE(PathExists(ExtractionFolder(contents)));
  }
};

TEST_F(PayloadSize, EmptyPackageIsWrittenEmptyWithItsTime) {
  ExpectInstallerSees(UsualContents(0));
}

TEST_F(PayloadSize, PackageOfExactlyOneMebibyte) {
  ExpectInstallerSees(UsualContents(1048576));
}

TEST_F(PayloadSize, PackageAndInstallerOfOneMebibyteAndOneByte) {
  LauncherContents contents = UsualContents(1048577);
  // Bytes after a program's image are not loaded, so a padded installer still runs.
  std::vector<uint8_t> padding = PackageBytes(1048577 - contents.installer.size(), 2);
  contents.installer.insert(contents.installer.end(), padding.begin(), padding.end());
  ExpectInstallerSees(contents);
}

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
  void ExpectInstallerSees(const LauncherContents& contents) {
    ExpectCleanInstall(Run(SaveLauncherFile(BuildLauncher(contents))), contents);
  }
};

TEST_F(PayloadSize, EmptyPackageIsWrittenEmptyWithItsTime) {
  ExpectInstallerSees(UsualContents(0));
}

TEST_F(PayloadSize, PackageOfExactlyOneMebibyte) { ExpectInstallerSees(UsualContents(1048576)); }

TEST_F(PayloadSize, PackageAndInstallerOfOneMebibyteAndOneByte) {
  LauncherContents contents = UsualContents(1048577);
  // Bytes after a program's image are not loaded, so a padded installer still runs.
  std::vector<uint8_t> padding = PatternBytes(1048577 - contents.installer.size(), 2);
  contents.installer.insert(contents.installer.end(), padding.begin(), padding.end());
  ExpectInstallerSees(contents);
}

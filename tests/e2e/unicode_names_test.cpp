// Names are used as the trailer gives them: Japanese text and characters outside the Basic
// Multilingual Plane (surrogate pairs) in every name, a temporary folder and a launcher file whose
// paths hold spaces and Japanese text.
#include <gtest/gtest.h>
#include <windows.h>

#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"

class UnicodeNames : public LauncherCase {
 protected:
  void SetUp() override {
    LauncherCase::SetUp();
    UseTempFolder(L"一時 フォルダ \U00020BB7");
  }

  LauncherContents JapaneseContents() const {
    LauncherContents contents = UsualContents();
    contents.names.title = u"コルヴァリンス \U00020BB7 セットアップ";
    contents.names.folderName = u"{設定 \U0001F600 フォルダ}";
    contents.names.installerName = u"セットアップ \U00020BB7.exe";
    contents.names.packageName = u"パッケージ \U0001F600.msi";
    return contents;
  }
};

TEST_F(UnicodeNames, InstallerRunsUnderJapaneseNamesInAFolderWithSpaces) {
  LauncherContents contents = JapaneseContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents), L"ランチャー \U00020BB7.exe");

  RunOutcome run = Run(launcher);

  ExpectCleanInstall(run, contents);
  std::vector<InstallerStart> starts = InstallerStarts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].modulePath,
            TempPath() + L"{設定 \U0001F600 フォルダ}\\セットアップ \U00020BB7.exe");
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

TEST_F(UnicodeNames, JapaneseTitleAndPathReachTheBoxExactly) {
  SKIP_UNLESS_BOXES_SHOW();
  LauncherContents contents = JapaneseContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents), L"ランチャー \U00020BB7.exe");
  std::wstring folder = TempPath() + L"{設定 \U0001F600 フォルダ}";
  ASSERT_TRUE(MakeFolder(folder));
  ASSERT_TRUE(MakeFolder(folder + L"\\パッケージ \U0001F600.msi"));

  RunOutcome run = Run(launcher);

  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, kTempFileNotCreated.exitCode);
  std::wstring text =
      Wide(kTempFileNotCreated) + L"\r\n\r\n" + folder + L"\\パッケージ \U0001F600.msi";
  EXPECT_EQ(run.boxes,
            std::vector<SeenMessageBox>{ErrorBox(L"コルヴァリンス \U00020BB7 セットアップ", text)});
  EXPECT_EQ(ReadBytes(folder + L"\\セットアップ \U00020BB7.exe"), contents.installer);
}

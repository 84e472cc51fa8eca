// Faults of the machine the launcher runs on, met while it writes the two files: a target another
// program holds open, a disk that fills up. Each shows exactly one box, captioned with the product
// title, and the launcher exits with that message's exit code, leaving what it wrote where it is.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"

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
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
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

TEST_F(WriteFault, DiskThatFillsUpWhileThePackageIsWrittenShowsTheWriteMessage) {
  if (!IsRunningUnderWine()) GTEST_SKIP() << "mounts a small file system from the Linux side";
  // Room for the installer and part of the package's first 1 MiB piece, not for all of it.
  LauncherContents contents = UsualContents(1048576 + 1000);
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
  UseTempFolder(L"small");
  SmallFileSystem disk(caseFolder_, L"small", 512 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";

  ExpectOnlyBox(launcher, ErrorBox(L"Corvalinth", Wide(kTempFileNotWritten)));

  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(FolderEntries(folder), (std::vector<std::wstring>{L"Corvalinth.msi", L"setup.exe"}));
  EXPECT_EQ(ReadBytes(PathIn(folder, L"setup.exe")), contents.installer);
  EXPECT_EQ(LastWriteTime(PathIn(folder, L"setup.exe")), contents.installerTime);
  // What fitted of the package is its beginning, and not all of it.
  std::vector<uint8_t> written = ReadBytes(PathIn(folder, L"Corvalinth.msi"));
  EXPECT_LT(written.size(), contents.package.size());
  EXPECT_TRUE(std::equal(written.begin(), written.end(), contents.package.begin()));
}

// vossimere-pack on Windows file systems: an output another program holds, "\\?\" paths and paths
// beyond 260 characters, an output whose deletion is pending. The first cases are shown under
// Wine as on Windows; WindowsOnlyFiles holds what only Windows shows, each case skipped under Wine
// with its reason, so that the Windows test kit runs them on a Windows machine.
#include <windows.h>

#include <atomic>
#include <chrono>

#include "pack/io/file_status.h"
#include "pack/io/file_time.h"
#include "pack/io/path_text.h"
#include "tests/pack/cli/pack_tool_fixture.h"

namespace {

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Another program's hold on a file, as Explorer's preview pane, an indexer or a scanner holds
// one: open for reading, sharing reading and writing but not deletion, so that nobody can rename
// over it. Sharing is checked between handles, whichever process has them, so a handle of the
// test's own stands for the other program. It lets go after ReleaseAfter's pause, or at the end.
class Holder {
 public:
  explicit Holder(const std::filesystem::path& path,
                  DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE)
      : handle_(
            CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~Holder() {
    if (thread_) {
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
    }
    Release();
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool Holds() const { return handle_ != INVALID_HANDLE_VALUE; }
  void ReleaseAfter(DWORD ms) {
    pause_ = ms;
    thread_ = CreateThread(nullptr, 0, ReleaseLater, this, 0, nullptr);
  }

 private:
  static DWORD WINAPI ReleaseLater(void* self) {
    Holder* holder = static_cast<Holder*>(self);
    Sleep(holder->pause_);
    holder->Release();
    return 0;
  }
  void Release() {
    HANDLE handle = handle_.exchange(INVALID_HANDLE_VALUE);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }

  std::atomic<HANDLE> handle_;
  DWORD pause_ = 0;
  HANDLE thread_ = nullptr;
};

// "\\?\C:\...": the path as a user past 260 characters gives it.
std::string LongForm(const std::string& path) { return "\\\\?\\" + path; }

// Removes a tree through "\\?\" paths, which reach deeper than the C runtime's own calls do.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

std::string TitleOf(const std::string& report) {
  size_t at = report.find("title:             ");
  return at == std::string::npos ? "" : report.substr(at + 19, report.find('\n', at) - at - 19);
}

}  // namespace

TEST_F(PackToolTest, BuildWaitsOutAHolderOfTheOldOutputForAMoment) {
  ASSERT_EQ(Build("out.exe").code, 0);
  std::vector<std::string> before = FileNames();
  Holder holder(folder_ / "out.exe");
  ASSERT_TRUE(holder.Holds());
  holder.ReleaseAfter(1000);
  ToolRun run =
      Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
           "--package", PathOf("Corvalinth.msi"), "--title", "Second", "-o", PathOf("out.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(TitleOf(Run({"inspect", PathOf("out.exe")}).out), "Second");
  EXPECT_EQ(FileNames(), before);
}

TEST_F(PackToolTest, BuildKeepsTheOldOutputAndNamesTheErrorWhenItStaysHeld) {
  ASSERT_EQ(Build("out.exe").code, 0);
  std::vector<uint8_t> old = ReadFile("out.exe");
  std::vector<std::string> before = FileNames();
  Holder holder(folder_ / "out.exe");
  ASSERT_TRUE(holder.Holds());
  auto start = std::chrono::steady_clock::now();
  ToolRun run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
                     "--package", PathOf("Corvalinth.msi"), "--title", "Second", "-o",
                     LongForm(PathOf("out.exe"))});
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("vossimere-pack build: cannot put the written file in place of " +
                         LongForm(PathOf("out.exe")) + ": Windows error "),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(" (another program still held it after 5 seconds); it is left as it "
                         "was\n"),
            std::string::npos)
      << run.err;
  EXPECT_GE(waited, std::chrono::milliseconds(4500));  // tried again, not given up at once
  EXPECT_EQ(ReadFile("out.exe"), old);
  EXPECT_EQ(FileNames(), before);  // no temporary file
}

TEST_F(PackToolTest, ExtractForceSaysWhichFileItReplacedWhenTheOtherStaysHeld) {
  ASSERT_EQ(Build("out.exe").code, 0);
  std::filesystem::create_directories(folder_ / "x");
  WriteFile("x/setup.exe", {1, 2, 3});
  WriteFile("x/Corvalinth.msi", {4, 5, 6});
  ToolRun run;
  {
    Holder holder(folder_ / "x" / "Corvalinth.msi");
    ASSERT_TRUE(holder.Holds());
    run = Run({"extract", "--force", PathOf("out.exe"), "-d", PathOf("x")});
  }
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot put the written file in place of " + PathOf("x\\Corvalinth.msi")),
            std::string::npos)
      << run.err;
  EXPECT_NE(
      run.err.find("it is left as it was. Only the installer was replaced: " +
                   PathOf("x\\setup.exe") + " is new, the package beside it is the old one\n"),
      std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFile("x/setup.exe"), installer_);
  EXPECT_EQ(ReadFile("x/Corvalinth.msi"), (std::vector<uint8_t>{4, 5, 6}));
  EXPECT_EQ(FileNames(),
            (std::vector<std::string>{"Corvalinth.msi", "Vossimere.exe", "out.exe", "setup.exe",
                                      "x", "x/Corvalinth.msi", "x/setup.exe"}));

  // Held the other way round: nothing replaced, and the message says so.
  Holder holder(folder_ / "x" / "setup.exe");
  run = Run({"extract", "--force", PathOf("out.exe"), "-d", PathOf("x")});
  EXPECT_NE(run.err.find("it is left as it was; nothing was extracted\n"), std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFile("x/Corvalinth.msi"), (std::vector<uint8_t>{4, 5, 6}));
}

// "\\?\" inputs, outputs and extraction folders, and a path of more than 260 characters.
TEST_F(PackToolTest, LongPrefixedPathsAndPathsBeyond260CharactersWork) {
  std::string deep = std::string(120, 'd') + "\\" + std::string(120, 'e');
  ToolRun run = Run({"build", "--stub", LongForm(PathOf("Vossimere.exe")), "--installer",
                     LongForm(PathOf("setup.exe")), "--package", LongForm(PathOf("Corvalinth.msi")),
                     "--title", "T", "-o", LongForm(PathOf("q.exe"))});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(Run({"verify", LongForm(PathOf("q.exe"))}).code, 0);
  run = Run({"inspect", "--json", LongForm(PathOf("q.exe"))});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("\"length\":" + std::to_string(ReadFile("q.exe").size())),
            std::string::npos)
      << run.out;

  std::string longFolder = LongForm(PathOf(deep));
  ASSERT_GT(longFolder.size(), 260u);
  run = Run({"extract", LongForm(PathOf("q.exe")), "-d", longFolder});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(LastWriteTime(PathFromText(longFolder + "\\setup.exe")), kInstallerFileTime);
  run = Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", longFolder + "\\setup.exe",
             "--package", longFolder + "\\Corvalinth.msi", "--title", "T", "-o",
             longFolder + "\\again.exe"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(Run({"inspect", longFolder + "\\again.exe"}).code, 0);
  run = Run({"extract", "--force", longFolder + "\\again.exe", "-d", longFolder});
  EXPECT_EQ(run.code, 0) << run.err;
  RemoveTree(PathFromText(LongForm(PathOf(std::string(120, 'd')))).native());

  // A new folder right below a volume's root: above "\\?\C:\New" is the volume's device, not
  // a folder, so the folder is made first and nothing above it is asked for.
  std::wstring root = folder_.root_name().native() + L"\\" + folder_.filename().native();
  std::string top = LongForm(PathText(root));
  run = Run({"extract", PathOf("q.exe"), "-d", top});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(LastWriteTime(PathFromText(top + "\\Corvalinth.msi")), kPackageFileTime);
  run = Run({"extract", PathOf("q.exe"), "-d", top + "\\a\\b"});  // and two below it
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(StatusOf(PathFromText(top + "\\a\\b\\setup.exe")).kind, FileKind::kFile);
  RemoveTree(PathFromText(top).native());
}

TEST_F(PackToolTest, BuildReplacesAnOutputWhoseDeletionIsPendingOnceItIsClosed) {
  ASSERT_EQ(Build("out.exe").code, 0);
  // A program that deleted the old output while another still has it open: the name stays, and
  // a rename over it meets access denied until that handle closes.
  Holder holder(folder_ / "out.exe", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(holder.Holds());
  ASSERT_TRUE(DeleteFileW((folder_ / "out.exe").c_str()));
  holder.ReleaseAfter(1000);
  ToolRun run =
      Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
           "--package", PathOf("Corvalinth.msi"), "--title", "Second", "-o", PathOf("out.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(TitleOf(Run({"inspect", PathOf("out.exe")}).out), "Second");
}

// What Wine does not show: each case says why it is skipped there.
using WindowsOnlyFiles = PackToolTest;

TEST_F(WindowsOnlyFiles, ExtractCarriesTheMarkOfTheWebOntoBothFiles) {
  if (RunningUnderWine())
    GTEST_SKIP() << "Wine's drives hold no named streams: there a Zone.Identifier is a file of "
                    "its own, and the tool carries no mark onto a volume without streams";
  ASSERT_EQ(Build("out.exe").code, 0);
  const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/\r\n";
  WriteFile("out.exe:Zone.Identifier", std::vector<uint8_t>(mark.begin(), mark.end()));
  ASSERT_EQ(Run({"extract", PathOf("out.exe"), "-d", PathOf("x")}).code, 0);
  for (const char* file : {"x/setup.exe:Zone.Identifier", "x/Corvalinth.msi:Zone.Identifier"}) {
    std::vector<uint8_t> carried = ReadFile(file);
    EXPECT_EQ(std::string(carried.begin(), carried.end()), mark) << file;
  }
  // A file that was not downloaded gives files without a mark.
  ASSERT_EQ(Build("plain.exe").code, 0);
  ASSERT_EQ(Run({"extract", PathOf("plain.exe"), "-d", PathOf("y")}).code, 0);
  EXPECT_TRUE(ReadFile("y/setup.exe:Zone.Identifier").empty());
}

// "extract x": a launcher file named with one letter, given without a folder. Its mark's stream
// "x:Zone.Identifier" would be a path relative to drive X:; the tool reads it from the file's
// absolute path.
TEST_F(WindowsOnlyFiles, ExtractOfAFileNamedWithOneLetterCarriesItsOwnMark) {
  if (RunningUnderWine())
    GTEST_SKIP() << "Wine's drives hold no named streams: there a Zone.Identifier is a file of "
                    "its own, and the tool carries no mark onto a volume without streams";
  ASSERT_EQ(Build("x").code, 0);
  const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
  WriteFile("x:Zone.Identifier", std::vector<uint8_t>(mark.begin(), mark.end()));
  wchar_t before[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, before), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
  ToolRun run = Run({"extract", "x", "-d", "out"});
  SetCurrentDirectoryW(before);
  ASSERT_EQ(run.code, 0) << run.err;
  std::vector<uint8_t> carried = ReadFile("out/setup.exe:Zone.Identifier");
  EXPECT_EQ(std::string(carried.begin(), carried.end()), mark);
}

// A drive's root as the folder: CreateDirectoryW answers a volume's root with access denied, which
// the tool takes as the folder that is there (Wine answers "already exists"). The drive is one of
// the user's own, mapped onto the case's folder for the case.
TEST_F(WindowsOnlyFiles, ExtractIntoTheRootOfADrive) {
  if (RunningUnderWine())
    GTEST_SKIP() << "Wine answers a volume root's creation with \"already exists\", which the tool "
                    "always took as the folder that is there";
  ASSERT_EQ(Build("out.exe").code, 0);
  std::filesystem::create_directories(folder_ / "drive");
  const wchar_t* drive = L"Q:";
  if (GetDriveTypeW(L"Q:\\") != DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "drive Q: is in use here";
  ASSERT_TRUE(DefineDosDeviceW(0, drive, (folder_ / "drive").c_str())) << GetLastError();
  ToolRun root = Run({"extract", PathOf("out.exe"), "-d", "Q:\\"});
  ToolRun device = Run({"extract", "--force", PathOf("out.exe"), "-d", "\\\\?\\Q:\\"});
  DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, drive,
                   (folder_ / "drive").c_str());
  EXPECT_EQ(root.code, 0) << root.err;
  EXPECT_EQ(device.code, 0) << device.err;
  EXPECT_EQ(ReadFile("drive/setup.exe"), installer_);
}

// A read-only old output meets the rename with access denied as a holder's does; no wait helps.
TEST_F(WindowsOnlyFiles, BuildAndExtractSayAtOnceThatTheOldOutputIsReadOnly) {
  if (RunningUnderWine())
    GTEST_SKIP() << "Wine renames over a read-only file, as a rename on Linux does whatever the "
                    "file's mode; Windows refuses it with access denied";
  const std::string kNote =
      " (the file there is read-only: clear its read-only attribute or delete it first); it is "
      "left as it was";
  ASSERT_EQ(Build("out.exe").code, 0);
  std::filesystem::create_directories(folder_ / "x");
  WriteFile("x/setup.exe", {1, 2, 3});
  std::vector<uint8_t> old = ReadFile("out.exe");
  std::vector<std::string> before = FileNames();
  ASSERT_TRUE(SetFileAttributesW((folder_ / "out.exe").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((folder_ / "x" / "setup.exe").c_str(), FILE_ATTRIBUTE_READONLY));
  auto start = std::chrono::steady_clock::now();
  ToolRun run =
      Run({"build", "--stub", PathOf("Vossimere.exe"), "--installer", PathOf("setup.exe"),
           "--package", PathOf("Corvalinth.msi"), "--title", "Second", "-o", PathOf("out.exe")});
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot put the written file in place of " + PathOf("out.exe") +
                         ": Windows error 5"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(kNote + "\n"), std::string::npos) << run.err;
  EXPECT_LT(waited, std::chrono::milliseconds(2500));  // not the 5 seconds of a holder's wait
  EXPECT_EQ(ReadFile("out.exe"), old);

  run = Run({"extract", "--force", PathOf("out.exe"), "-d", PathOf("x")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find(kNote + "; nothing was extracted\n"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile("x/setup.exe"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(FileNames(), before);  // no temporary file, and no package beside the old installer
  SetFileAttributesW((folder_ / "out.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW((folder_ / "x" / "setup.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WindowsOnlyFiles, AnInputGivenAsASymbolicLinkIsMeasuredAsItsTarget) {
  if (RunningUnderWine())
    GTEST_SKIP() << "Wine's CreateSymbolicLinkW reports success but makes no link";
  ASSERT_EQ(Build("out.exe").code, 0);
  if (!CreateSymbolicLinkW((folder_ / "link.exe").c_str(), (folder_ / "out.exe").c_str(),
                           SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
    GTEST_SKIP() << "this account may not make symbolic links (developer mode is off): "
                 << GetLastError();
  ToolRun run = Run({"inspect", PathOf("link.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("length:            " + std::to_string(ReadFile("out.exe").size())),
            std::string::npos)
      << run.out;
  EXPECT_EQ(Run({"verify", PathOf("link.exe")}).code, 0);
}

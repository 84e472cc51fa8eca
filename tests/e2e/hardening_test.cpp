// The launcher's defences against an attacker on the same machine, in runs that otherwise look
// like any other: a DLL left beside the launcher file is never loaded; an extraction folder that
// someone else prepared is refused before anything is written into it; and the folder and the two
// extracted files cannot be changed, renamed or deleted by anyone while the installer runs, yet
// the installer reads them; and the clean-up afterwards deletes only the files the run held, never
// one another start wrote after them.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <memory>

#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/planted_dll_protocol.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"
#include "tests/e2e/windows_arrangements.h"

// The full paths of the modules loaded in another process.
static std::vector<std::wstring> ModulePathsOf(HANDLE process) {
  std::vector<std::wstring> paths;
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!EnumProcessModules(process, modules, sizeof modules, &bytes)) return paths;
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameExW(process, modules[i], path, MAX_PATH);
    if (length) paths.emplace_back(path, length);
  }
  return paths;
}

static std::wstring LowerCase(std::wstring text) {
  CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// The paths among `paths` whose file name is `name`, compared without regard to case.
static std::vector<std::wstring> PathsNamed(const std::vector<std::wstring>& paths,
                                            const std::wstring& name) {
  std::vector<std::wstring> found;
  for (const std::wstring& path : paths) {
    size_t slash = path.find_last_of(L'\\');
    std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (LowerCase(file) == LowerCase(name)) found.push_back(path);
  }
  return found;
}

static std::wstring SystemDirectory() {
  wchar_t path[MAX_PATH];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  return std::wstring(path, length);
}

// A DLL the launcher does not import but loads by name once it runs, under Wine: user32 brings in
// the theme library for the launcher's window.
constexpr wchar_t kLazilyLoadedDll[] = L"uxtheme.dll";
constexpr wchar_t kLazilyLoadedDllOverride[] = L"uxtheme";

// Wine loads its own copy of a DLL it has one of, wherever the search found the file, unless told
// to prefer native DLLs. This tells it so for one DLL in the programs of one file name, through
// the prefix's registry (a child's environment does not reach Wine's loader), until it goes.
class NativeFirstFor {
 public:
  NativeFirstFor(const std::wstring& programName, const wchar_t* dll)
      : key_(L"Software\\Wine\\AppDefaults\\" + programName) {
    HKEY overrides = nullptr;
    std::wstring value = L"native,builtin";
    set_ =
        RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &overrides, nullptr) == ERROR_SUCCESS &&
        RegSetValueExW(overrides, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    if (overrides) RegCloseKey(overrides);
  }
  ~NativeFirstFor() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
  NativeFirstFor(const NativeFirstFor&) = delete;
  NativeFirstFor& operator=(const NativeFirstFor&) = delete;
  bool Set() const { return set_; }

 private:
  std::wstring key_;
  bool set_ = false;
};

using DllPlanting = LauncherCase;

TEST_F(DllPlanting, DllBesideTheLauncherFileIsNotLoadedAndTheSystemOneIs) {
  // A file name of its own, so that Wine's load order applies to this launcher alone. Windows
  // needs no such steering: a DLL that is not one of its known DLLs is looked for beside the
  // program first, unless the program says otherwise.
  const std::wstring launcherName = L"planted-dll-launcher.exe";
  std::unique_ptr<NativeFirstFor> nativeFirst;
  if (Machine().underWine) {
    nativeFirst = std::make_unique<NativeFirstFor>(launcherName, kLazilyLoadedDllOverride);
    ASSERT_TRUE(nativeFirst->Set());
  }
  LauncherContents contents = UsualContents();
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents), launcherName);
  ASSERT_TRUE(
      CopyFileW(PlantedDllPath().c_str(), PathIn(caseFolder_, kLazilyLoadedDll).c_str(), TRUE));
  LauncherProcess process;
  ASSERT_TRUE(StartHeld(process, launcher));
  // The launcher did load the DLL, after its window was made: the system directory's copy
  // (Windows names that directory in other letter cases in different places).
  std::vector<std::wstring> loaded = PathsNamed(ModulePathsOf(process.Handle()), kLazilyLoadedDll);
  for (std::wstring& path : loaded) path = LowerCase(path);
  EXPECT_EQ(loaded,
            std::vector<std::wstring>{LowerCase(PathIn(SystemDirectory(), kLazilyLoadedDll))});
  gate_.Release();
  ExpectCleanInstall(OutcomeOf(process, process.WatchUntilExit(kRunLimitMs)), contents);

  // Nothing was written beside the launcher file: the planted DLL never ran.
  EXPECT_EQ(
      FolderEntries(caseFolder_),
      (std::vector<std::wstring>{L"installer-report.txt", launcherName, L"tmp", kLazilyLoadedDll}));
  EXPECT_FALSE(PathExists(PathIn(caseFolder_, kPlantedMarkerName)));
}

class PreparedFolder : public LauncherCase {
 protected:
  std::wstring CreationText(const std::wstring& path) const {
    return Wide(kTempFileNotCreated) + L"\r\n\r\n" + path;
  }

  // Makes the extraction folder `name` in the temporary folder the way `choice` says: from the
  // Linux side with that Linux owner, or made here and given that owner.
  void MakePreparedFolder(const Choice& choice, const std::wstring& name, LinuxOwner linuxOwner,
                          FolderOwnerChoice windowsOwner) {
    if (choice.way == Way::kLinux) {
      ASSERT_TRUE(MakeLinuxFolder(tempFolder_, name, linuxOwner));
      return;
    }
    ASSERT_TRUE(MakeFolder(PathIn(tempFolder_, name)));
    ASSERT_TRUE(SetFolderOwner(PathIn(tempFolder_, name), windowsOwner))
        << "the folder's owner could not be set, error " << GetLastError();
  }
};

TEST_F(PreparedFolder, FolderOfAnotherUserIsRefusedWithTheInstallersPathAndStaysEmpty) {
  Choice choice = ChooseWay(Arrangement::kFolderOfAnotherUser, Machine());
  if (choice.way == Way::kNone) GTEST_SKIP() << choice.reason;
  SKIP_UNLESS_BOXES_SHOW();
  LauncherContents contents = UsualContents();
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
  const std::wstring folderName = Wide(contents.names.folderName);
  MakePreparedFolder(choice, folderName, LinuxOwner::kAnotherUser,
                     FolderOwnerChoice::kAnotherPrincipal);
  if (HasFatalFailure()) return;

  RunOutcome run = Run(launcher);

  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, kTempFileNotCreated.exitCode);
  std::wstring installerPath = TempPath() + folderName + L"\\setup.exe";
  EXPECT_EQ(run.boxes,
            std::vector<SeenMessageBox>{ErrorBox(L"Corvalinth", CreationText(installerPath))});
  EXPECT_EQ(InstallerStarts().size(), 0u);
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>{folderName});
  EXPECT_EQ(FolderEntries(ExtractionFolder(contents)), std::vector<std::wstring>());
}

// A temporary folder that does not exist: the extraction folder cannot be made inside it.
TEST_F(PreparedFolder, FolderThatCannotBeCreatedShowsTheCreationMessageForTheInstallersPath) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
  ASSERT_TRUE(RemoveDirectoryW(tempFolder_.c_str()));

  ExpectOnlyBox(launcher,
                ErrorBox(L"Corvalinth", CreationText(ExtractionFolder(contents) + L"\\setup.exe")));
  EXPECT_FALSE(PathExists(tempFolder_));
}

// The same folder, made the same way, but owned by the user the launcher runs as: reused.
TEST_F(PreparedFolder, SameFolderOfTheUserHimselfIsReused) {
  Choice choice = ChooseWay(Arrangement::kFolderOfTheUser, Machine());
  if (choice.way == Way::kNone) GTEST_SKIP() << choice.reason;
  LauncherContents contents = UsualContents();
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
  MakePreparedFolder(choice, Wide(contents.names.folderName), LinuxOwner::kThisUser,
                     FolderOwnerChoice::kTheUser);
  if (HasFatalFailure()) return;

  ExpectCleanInstall(Run(launcher), contents);
}

// Opening `path` as another program would, with `access` and `share`: the error it gets, or 0.
static DWORD OpenError(const std::wstring& path, DWORD access, DWORD share) {
  HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(file);
  return 0;
}

class ExtractedFiles : public LauncherCase {
 protected:
  // While the installer runs, nobody can write, delete or rename `path`, but anyone can read it;
  // afterwards it is exactly `bytes`.
  void ExpectHeldForReading(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    SCOPED_TRACE(testing::Message() << "the file " << std::string(path.begin(), path.end()));
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    EXPECT_EQ(OpenError(path, GENERIC_WRITE, shareAll),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(OpenError(path, GENERIC_READ | GENERIC_WRITE, shareAll),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(OpenError(path, DELETE, shareAll), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    std::wstring moved = PathIn(caseFolder_, L"moved");
    EXPECT_FALSE(MoveFileExW(path.c_str(), moved.c_str(), 0));
    EXPECT_FALSE(PathExists(moved));
    std::wstring replacement = PathIn(caseFolder_, L"replacement");
    ASSERT_TRUE(WriteBytes(replacement, {'M', 'Z'}));
    EXPECT_FALSE(MoveFileExW(replacement.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(DeleteFileW(replacement.c_str()));
    EXPECT_EQ(OpenError(path, GENERIC_READ, FILE_SHARE_READ), 0u);
    EXPECT_EQ(ReadBytes(path), bytes);
  }
};

TEST_F(ExtractedFiles, CannotBeChangedReplacedOrDeletedWhileTheInstallerRunsButCanBeRead) {
  LauncherContents contents = UsualContents();
  installerLeavesFolder_ = true;  // the folder is held by the launcher, not by the installer
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
  LauncherProcess process;
  ASSERT_TRUE(StartHeld(process, launcher));
  std::wstring folder = ExtractionFolder(contents);
  ExpectHeldForReading(PathIn(folder, L"Corvalinth.msi"), contents.package);
  ExpectHeldForReading(PathIn(folder, L"setup.exe"), contents.installer);
  // Nor can the folder they are in be renamed away or removed.
  std::wstring moved = PathIn(tempFolder_, L"moved");
  EXPECT_FALSE(MoveFileExW(folder.c_str(), moved.c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(PathExists(moved));
  gate_.Release();

  // The installer read both as packed, and both are gone afterwards.
  ExpectCleanInstall(OutcomeOf(process, process.WatchUntilExit(kRunLimitMs)), contents);
}

// Another start of the same launcher file writes the package over again, the same bytes with the
// same time, as soon as this run's hold on it has ended, while the run's clean-up still waits for
// a scanner that holds the installer. The run deletes the installer once the scanner lets go, but
// leaves the package to the start that wrote it, and still ends with the installer's code.
TEST_F(ExtractedFiles, FileWrittenOverAfterTheInstallerEndedIsLeftToTheStartThatWroteIt) {
  installerExitCode_ = 3010;
  LauncherContents contents = UsualContents();
  std::wstring launcher = WriteLauncherFile(BuildLauncher(contents));
  LauncherProcess process;
  ASSERT_TRUE(StartHeld(process, launcher));
  std::wstring folder = ExtractionFolder(contents);
  std::wstring package = PathIn(folder, L"Corvalinth.msi");
  // A scanner reading the installer, without delete sharing.
  HANDLE scanner = CreateFileW(PathIn(folder, L"setup.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
  gate_.Release();

  // The package can be written as soon as the run has let go of it.
  HANDLE rewrite = INVALID_HANDLE_VALUE;
  for (ULONGLONG begun = GetTickCount64();
       rewrite == INVALID_HANDLE_VALUE && GetTickCount64() - begun < kRunLimitMs; Sleep(1)) {
    rewrite = CreateFileW(package.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  bool rewritten = rewrite != INVALID_HANDLE_VALUE;
  if (rewritten) {
    DWORD written = 0;
    FILETIME time = {static_cast<DWORD>(contents.packageTime),
                     static_cast<DWORD>(contents.packageTime >> 32)};
    rewritten = WriteFile(rewrite, contents.package.data(),
                          static_cast<DWORD>(contents.package.size()), &written, nullptr) &&
                written == contents.package.size() && SetFileTime(rewrite, nullptr, nullptr, &time);
    CloseHandle(rewrite);
  }
  CloseHandle(scanner);
  ASSERT_TRUE(rewritten) << "the package could not be written over after the install";

  RunOutcome run = OutcomeOf(process, process.WatchUntilExit(kRunLimitMs));
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 3010u);
  EXPECT_EQ(run.boxes, std::vector<SeenMessageBox>());
  EXPECT_EQ(FolderEntries(folder), std::vector<std::wstring>{L"Corvalinth.msi"});
  EXPECT_EQ(ReadBytes(package), contents.package);
}

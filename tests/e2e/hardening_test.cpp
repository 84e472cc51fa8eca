// The launcher's defences against an attacker on the same machine, in runs that otherwise look
// like any other: a DLL left beside the launcher file is never loaded; an extraction folder that
// someone else prepared is refused before anything is written into it; and the folder and the two
// extracted files cannot be changed, renamed or deleted by anyone while the installer runs, yet
// the installer reads them; and the clean-up afterwards deletes only the files the run held, never
// one another start wrote after them.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "launch/messages.h"
#include "pack/format/pe_image.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/planted_dll_protocol.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"
#include "tests/e2e/windows_arrangements.h"
#include "tests/support/pe_imports.h"

struct LoadedModule {
  std::wstring path;  // as the system names it
  HMODULE base;       // where it is mapped in that process
};

// The modules loaded in another process.
static std::vector<LoadedModule> ModulesOf(HANDLE process) {
  std::vector<LoadedModule> modules;
  HMODULE handles[512];
  DWORD bytes = 0;
  if (!EnumProcessModules(process, handles, sizeof handles, &bytes)) return modules;
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameExW(process, handles[i], path, MAX_PATH);
    if (length) modules.push_back({std::wstring(path, length), handles[i]});
  }
  return modules;
}

static std::wstring LowerCase(std::wstring text) {
  CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// The modules among `modules` whose file name is `name`, compared without regard to case.
static std::vector<LoadedModule> ModulesNamed(const std::vector<LoadedModule>& modules,
                                              const std::wstring& name) {
  std::vector<LoadedModule> found;
  for (const LoadedModule& module : modules) {
    size_t slash = module.path.find_last_of(L'\\');
    std::wstring file = slash == std::wstring::npos ? module.path : module.path.substr(slash + 1);
    if (LowerCase(file) == LowerCase(name)) found.push_back(module);
  }
  return found;
}

static std::wstring SystemDirectory() {
  wchar_t path[MAX_PATH];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  return std::wstring(path, length);
}

// What tells one image from another, read from its headers: the same for a file on disk and for
// that file mapped into a process, whichever path the process names it by. Empty when the bytes
// hold no PE32+ headers.
static std::string ImageIdentity(const std::vector<uint8_t>& headers) {
  std::string problem;
  std::optional<PeImage> image = ReadPeImage(headers.data(), headers.size(), &problem);
  if (!image) return std::string();
  std::string identity = "time stamp " + std::to_string(image->timeDateStamp) + ", size " +
                         std::to_string(image->sizeOfImage) + ", checksum " +
                         std::to_string(image->checkSum) + ", entry " +
                         std::to_string(image->addressOfEntryPoint) + ", sections";
  for (const PeSection& section : image->sections) {
    identity += " " + section.name + ":" + std::to_string(section.virtualSize);
  }
  return identity;
}

// The first page of the module as mapped in `process`: its headers.
static std::vector<uint8_t> MappedHeaders(HANDLE process, HMODULE module) {
  std::vector<uint8_t> page(4096);
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, module, page.data(), page.size(), &read)) read = 0;
  page.resize(read);
  return page;
}

// The DLL planted beside the launcher file, under the name of one the launcher certainly loads by
// name: shell32.dll is in its import directory (for ShellExecuteExW, which starts the installer),
// so the loader resolves it before the launcher's first instruction, on every system and in every
// prefix, whatever else gets loaded later. Of the four imports it is the one no process gets
// without asking: ntdll maps kernel32 into every process before any import is looked at. On
// Windows it is one of the KnownDLLs, taken from the system directory and never looked for beside
// the program; under Wine the loader prefers its own copy in the system directory.
constexpr wchar_t kPlantedName[] = L"shell32.dll";

// The DLL names the launcher's import directory holds, in lower case.
static std::vector<std::wstring> LauncherImports() {
  const std::vector<uint8_t>& bytes = LauncherStub();
  std::string problem;
  std::optional<PeImage> image = ReadPeImage(bytes.data(), bytes.size(), &problem);
  std::vector<std::wstring> names;
  if (!image) return names;
  for (const std::string& name : ImportedDllNames(*image, bytes.data(), bytes.size(), &problem)) {
    names.push_back(LowerCase(std::wstring(name.begin(), name.end())));
  }
  return names;
}

using DllPlanting = LauncherCase;

TEST_F(DllPlanting, DllBesideTheLauncherFileIsNotLoadedAndTheSystemOneIs) {
  std::vector<std::wstring> imports = LauncherImports();
  ASSERT_NE(std::find(imports.begin(), imports.end(), kPlantedName), imports.end())
      << "the launcher no longer imports shell32.dll; plant another of its imports";
  // The planted DLL does announce itself wherever it is loaded: here, under its own name, from a
  // folder of its own.
  std::wstring control = PathIn(caseFolder_, L"control");
  ASSERT_TRUE(MakeFolder(control));
  std::wstring controlCopy = PathIn(control, L"planted_dll.dll");
  ASSERT_TRUE(CopyFileW(PlantedDllPath().c_str(), controlCopy.c_str(), TRUE));
  HMODULE loadedHere = LoadLibraryW(controlCopy.c_str());
  ASSERT_NE(loadedHere, nullptr) << "error " << GetLastError();
  FreeLibrary(loadedHere);
  ASSERT_TRUE(PathExists(PathIn(control, kPlantedMarkerName)));
  ASSERT_TRUE(RemoveTree(control));

  const std::wstring launcherName = L"planted-dll-launcher.exe";
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents), launcherName);
  ASSERT_TRUE(CopyFileW(PlantedDllPath().c_str(), PathIn(caseFolder_, kPlantedName).c_str(), TRUE));
  LauncherProcess process;
  ASSERT_TRUE(StartHeld(process, launcher));
  // While the installer runs, the launcher has one module of that name, and it is the system
  // directory's image, not the planted one. Wine names its own copy by the path where the search
  // found a file of that name, the planted one's, so the image's headers tell which it is; on
  // Windows the path says so as well (Windows names that directory in other letter cases in
  // different places).
  std::vector<LoadedModule> loaded = ModulesNamed(ModulesOf(process.Handle()), kPlantedName);
  ASSERT_EQ(loaded.size(), 1u);
  std::string systemImage = ImageIdentity(ReadBytes(PathIn(SystemDirectory(), kPlantedName)));
  std::string plantedImage = ImageIdentity(ReadBytes(PlantedDllPath()));
  ASSERT_FALSE(systemImage.empty());
  ASSERT_NE(systemImage, plantedImage);
  EXPECT_EQ(ImageIdentity(MappedHeaders(process.Handle(), loaded[0].base)), systemImage);
  if (!Machine().underWine) {
    EXPECT_EQ(LowerCase(loaded[0].path), LowerCase(PathIn(SystemDirectory(), kPlantedName)));
  }
  gate_.Release();
  ExpectCleanInstall(OutcomeOf(process, process.WatchUntilExit(kRunLimitMs)), contents);

  // Nothing was written beside the launcher file: the planted DLL never ran, in the launcher or
  // in anything it started.
  EXPECT_EQ(
      FolderEntries(caseFolder_),
      (std::vector<std::wstring>{L"installer-report.txt", launcherName, kPlantedName, L"tmp"}));
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
    // The launchers started after this inherit the token: setting the owner leaves it as it was.
    bool restoreEnabled = PrivilegeEnabled(L"SeRestorePrivilege");
    bool takeOwnershipEnabled = PrivilegeEnabled(L"SeTakeOwnershipPrivilege");
    ASSERT_TRUE(SetFolderOwner(PathIn(tempFolder_, name), windowsOwner))
        << "the folder's owner could not be set, error " << GetLastError();
    EXPECT_EQ(PrivilegeEnabled(L"SeRestorePrivilege"), restoreEnabled);
    EXPECT_EQ(PrivilegeEnabled(L"SeTakeOwnershipPrivilege"), takeOwnershipEnabled);
  }
};

TEST_F(PreparedFolder, FolderOfAnotherUserIsRefusedWithTheInstallersPathAndStaysEmpty) {
  CHOOSE_WAY_OR_SKIP(choice, Arrangement::kFolderOfAnotherUser);
  SKIP_UNLESS_BOXES_SHOW();
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
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
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
  ASSERT_TRUE(RemoveDirectoryW(tempFolder_.c_str()));

  ExpectOnlyBox(launcher,
                ErrorBox(L"Corvalinth", CreationText(ExtractionFolder(contents) + L"\\setup.exe")));
  EXPECT_FALSE(PathExists(tempFolder_));
}

// The same folder, made the same way, but owned by the user the launcher runs as: reused.
TEST_F(PreparedFolder, SameFolderOfTheUserHimselfIsReused) {
  CHOOSE_WAY_OR_SKIP(choice, Arrangement::kFolderOfTheUser);
  LauncherContents contents = UsualContents();
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
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
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
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
  std::wstring launcher = SaveLauncherFile(BuildLauncher(contents));
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

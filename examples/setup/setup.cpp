// The example installer program: installs the one Windows Installer package in its working
// directory with the system's msiexec, without any user interface, waits for it and exits with
// msiexec's exit code. A launcher starts it in the folder where it wrote both files, with the
// launcher's own arguments; they go on to msiexec after the defaults, so an administrator's
// `ExampleProductSetup.exe /l*v C:\install.log` gets msiexec's log, and later options such as
// `/qb` or `REBOOT=ReallySuppress` add to or override the defaults.
#include <windows.h>

#include <string>

// Exit code when the working directory holds no package or more than one (which to install would
// be a guess): the Windows Installer's own code for a package that cannot be opened.
constexpr DWORD kNoSinglePackage = ERROR_INSTALL_PACKAGE_OPEN_FAILED;

// The installer runs from a temporary folder that also holds a file someone else chose; only the
// system directory is searched for DLLs loaded after start-up. Looked up at run time for systems
// that predate SetDefaultDllDirectories.
static void RestrictDllSearchToSystem() {
  using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryW(L"");
}

static std::wstring WorkingDirectory() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring path(size, L'\0');
  DWORD length = GetCurrentDirectoryW(size, &path[0]);
  path.resize(length < size ? length : 0);
  return path;
}

// A pattern of three extension letters also matches longer extensions through short 8.3 names
// ("a.msix" is "A~1.MSI"), so each name found is checked again.
static bool HasPackageExtension(const wchar_t* name) {
  size_t length = wcslen(name);
  return length > 4 && CompareStringOrdinal(name + length - 4, 4, L".msi", 4, TRUE) == CSTR_EQUAL;
}

// The full path of the one package in `directory`, or empty when there is none or more than one.
static std::wstring SinglePackageIn(const std::wstring& directory) {
  std::wstring found;
  int count = 0;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((directory + L"\\*.msi").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !HasPackageExtension(entry.cFileName))
      continue;
    ++count;
    found = directory + L"\\" + entry.cFileName;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return count == 1 ? found : std::wstring();
}

// msiexec from the system directory by full path, never through the search path.
static std::wstring MsiexecPath() {
  wchar_t system[MAX_PATH];
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(system, length) + L"\\msiexec.exe";
}

// Runs `msiexec /i package /qn arguments` and waits for it; the result is msiexec's exit code, or
// the system's error code when it cannot be started.
static DWORD InstallPackage(const std::wstring& package, const wchar_t* arguments) {
  std::wstring msiexec = MsiexecPath();
  std::wstring commandLine = L"\"" + msiexec + L"\" /i \"" + package + L"\" /qn";
  if (arguments && *arguments) commandLine += std::wstring(L" ") + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(msiexec.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return GetLastError();
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = ERROR_INSTALL_FAILURE;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  return exitCode;
}

// `arguments` is the command line after the program name, as the C runtime hands it over.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  RestrictDllSearchToSystem();
  std::wstring package = SinglePackageIn(WorkingDirectory());
  if (package.empty()) return static_cast<int>(kNoSinglePackage);
  return static_cast<int>(InstallPackage(package, arguments));
}

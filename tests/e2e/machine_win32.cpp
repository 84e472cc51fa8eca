#include "tests/e2e/machine.h"

#include <windows.h>

#include "launch/box_visibility.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"
#include "tests/support/installer_protocol.h"
#include "tests/support/launcher_process.h"

static bool IsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                  elevation.TokenIsElevated != 0;
  CloseHandle(token);
  return elevated;
}

// The version the system itself reports: GetVersionEx answers a program without a manifest with
// Windows 8's.
static RTL_OSVERSIONINFOW SystemVersion() {
  RTL_OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  using RtlGetVersionProc = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  auto getVersion = reinterpret_cast<RtlGetVersionProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (getVersion) getVersion(&version);
  return version;
}

// The same decision the launcher makes before it shows a box.
static bool BoxesShowHere(bool& sessionZero) {
  DWORD session = 0;
  bool sessionKnown = ProcessIdToSessionId(GetCurrentProcessId(), &session) != 0;
  sessionZero = sessionKnown && session == 0;
  USEROBJECTFLAGS flags = {};
  bool flagsKnown = GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                              sizeof flags, nullptr) != 0;
  bool isolated = InIsolatedSessionZero(sessionKnown, session, SystemVersion().dwMajorVersion);
  return ErrorBoxCanBeSeen(flagsKnown, flags.dwFlags, isolated);
}

// Whether a 32-bit program runs: the 32-bit NSIS installer, started directly, gets as far as
// writing its report. Wine without its 32-bit half starts the process, which ends at once without
// running any of its code.
static bool RunsThirtyTwoBitPrograms(const std::wstring& folder) {
  std::wstring program = PathIn(folder, L"probe32.exe");
  std::wstring report = PathIn(folder, L"probe-report.txt");
  if (!WriteBytes(program, NsisInstaller(InstallerBits::k32))) return false;
  LauncherProcess probe;
  probe.SetCommandLine(L"\"" + program + L"\" /S");
  bool ran = probe.Start(program, folder, {{kReportPathVariable, report}}) &&
             probe.WatchUntilExit(kRunLimitMs) && ReadInstallerReport(report).size() == 1;
  return ran;
}

static bool DiskpartPresent() {
  wchar_t system[MAX_PATH];
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  return length > 0 && length < MAX_PATH &&
         PathExists(PathIn(std::wstring(system, length), L"diskpart.exe"));
}

MachineFacts FindMachineFacts(const std::wstring& probeFolder, bool withoutLinuxCommands) {
  MachineFacts facts;
  facts.underWine = IsRunningUnderWine();
  facts.linuxCommandsAllowed = facts.underWine && !withoutLinuxCommands;
  facts.elevated = IsElevated();
  facts.boxesShow = BoxesShowHere(facts.sessionZero);
  facts.runsThirtyTwoBit = RunsThirtyTwoBitPrograms(probeFolder);
  facts.diskpartPresent = DiskpartPresent();
  return facts;
}

std::string PlatformName() {
  RTL_OSVERSIONINFOW version = SystemVersion();
  std::string windows = "Windows " + std::to_string(version.dwMajorVersion) + "." +
                        std::to_string(version.dwMinorVersion) + "." +
                        std::to_string(version.dwBuildNumber);
  using WineGetVersionProc = const char*(CDECL*)();
  auto wineVersion = reinterpret_cast<WineGetVersionProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  if (!wineVersion) return windows;
  return std::string("Wine ") + wineVersion() + " (" + windows + " as Wine reports it)";
}

static MachineFacts& Facts() {
  static MachineFacts facts;
  return facts;
}

void SetMachine(const MachineFacts& facts) { Facts() = facts; }
const MachineFacts& Machine() { return Facts(); }

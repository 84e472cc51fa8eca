#include "bench/program_runs_win32.h"

#include <psapi.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/bench_protocol.h"
#include "bench/file_time_win32.h"
#include "bench/launcher_inputs_win32.h"
#include "pack/text/utf.h"
#include "tests/support/installer_gate.h"
#include "tests/support/launcher_process.h"
#include "tests/support/quoted_argument.h"

static constexpr DWORD kRunLimitMs = 300000;

static double Milliseconds(LONGLONG ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

static std::wstring FolderOf(const std::wstring& path) {
  return std::filesystem::path(path).parent_path().wstring();
}

// The stamp file of the bench installer, or of a program that times itself, in `tempFolder`.
static std::wstring StampPath(const std::wstring& tempFolder) {
  return (std::filesystem::path(tempFolder) / L"installer-stamp.txt").wstring();
}

// The launcher and the installer it starts find their temporary folder and the bench's settings
// in the environment the driver gives the program; without `gate` nobody holds it.
static EnvironmentChanges ChildEnvironment(const std::wstring& tempFolder,
                                           const std::wstring& stampPath,
                                           const InstallerGate* gate) {
  return {{L"TMP", tempFolder},
          {L"TEMP", tempFolder},
          {kStampPathVariable, stampPath},
          {kPackageNameVariable, reinterpret_cast<const wchar_t*>(kBenchPackageName)},
          {kStartedEventVariable, gate ? gate->StartedName() : std::wstring()},
          {kReleaseEventVariable, gate ? gate->ReleaseName() : std::wstring()}};
}

// A program that is still running after the limit is stuck, usually behind an error box, whose
// text says why. It is ended (when `program` goes) so the bench can go on.
static std::wstring StuckText(LauncherProcess& program) {
  program.WatchUntil(nullptr, 500);
  return program.Boxes().empty() ? L"(no error box)" : program.Boxes().front().text;
}

std::string Utf8(const std::wstring& text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// The stamp the bench installer wrote (decimal text), or the JSON figure a program that times
// itself wrote instead (`ownReport`).
static bool ReadStamp(const std::wstring& path, long long& entered, long long& packageBytes,
                      long long& created, std::string& ownReport) {
  std::ifstream file{std::filesystem::path(path)};
  std::string text;
  if (!std::getline(file, text) || text.empty()) return false;
  if (text[0] == '{') {
    ownReport = text;
    return false;
  }
  std::istringstream(text) >> entered >> packageBytes >> created;
  return true;
}

// The system time now, in the units of a FILETIME and on the clock process creation times use.
static long long SystemTimeNow() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return FileTimeValue(now);
}

TimedRun TimeRun(const std::vector<std::wstring>& command, const std::wstring& tempFolder,
                 bool holdInstaller) {
  TimedRun run;
  InstallerGate gate;
  std::wstring stampPath = StampPath(tempFolder);
  DeleteFileW(stampPath.c_str());
  std::wstring commandLine;
  for (const std::wstring& item : command) {
    commandLine += (commandLine.empty() ? L"" : L" ") + QuotedArgument(item);
  }
  LauncherProcess program;
  program.SetCommandLine(commandLine);
  EnvironmentChanges environment =
      ChildEnvironment(tempFolder, stampPath, holdInstaller ? &gate : nullptr);

  long long startedAt = SystemTimeNow();
  LARGE_INTEGER started;
  QueryPerformanceCounter(&started);
  if (!program.Start(command[0], FolderOf(command[0]), environment)) {
    run.failure = L"CreateProcessW failed";
    return run;
  }
  // Held until the driver has seen the installer run: the launcher has written both files by then.
  HANDLE waitFor[2] = {gate.Started(), program.Handle()};
  if (holdInstaller) WaitForMultipleObjects(2, waitFor, FALSE, kRunLimitMs);
  gate.Release();
  run.exited = WaitForSingleObject(program.Handle(), kRunLimitMs) == WAIT_OBJECT_0;
  LARGE_INTEGER ended;
  QueryPerformanceCounter(&ended);
  if (!run.exited) run.failure = StuckText(program);
  if (run.exited) run.exitCode = program.ExitCode();
  run.toExitMs = Milliseconds(ended.QuadPart - started.QuadPart);

  long long entered = 0, created = 0;
  run.installerStarted = ReadStamp(stampPath, entered, run.packageBytes, created, run.ownReport);
  if (run.installerStarted) {
    run.toInstallerMs = Milliseconds(entered - started.QuadPart);
    if (created != 0) run.toInstallerCreatedMs = (created - startedAt) / 10000.0;
  }
  DeleteFileW(stampPath.c_str());
  std::error_code unreadable;  // counts as gone, as a missing folder does
  run.folderRemoved = !std::filesystem::exists(
      std::filesystem::path(tempFolder) / reinterpret_cast<const wchar_t*>(kBenchFolderName),
      unreadable);
  return run;
}

// Wine fills PagefileUsage from the process's /proc/<pid>/status, RssAnon plus VmSwap: its
// private memory right now. It leaves PrivateUsage at 0 and PeakPagefileUsage equal to the current
// figure, and reports nothing once the process has ended; so the peak is sampled.
static uint64_t PrivateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PagefileUsage : 0;
}

HeldMemory MeasureHeldProgram(const std::wstring& path, const std::wstring& tempFolder) {
  HeldMemory memory;
  InstallerGate gate;
  std::wstring stampPath = StampPath(tempFolder);
  LauncherProcess program;
  if (program.Start(path, FolderOf(path), ChildEnvironment(tempFolder, stampPath, &gate))) {
    HANDLE waitFor[2] = {gate.Started(), program.Handle()};
    for (DWORD waited = 0; waited < kRunLimitMs; ++waited) {
      DWORD which = WaitForMultipleObjects(2, waitFor, FALSE, 1);
      uint64_t privateBytes = PrivateBytes(program.Handle());
      memory.privatePeakSampled = std::max(memory.privatePeakSampled, privateBytes);
      // Held only when the program was still there to be read once it said it was ready.
      memory.held = which == WAIT_OBJECT_0 && privateBytes != 0;
      if (which != WAIT_TIMEOUT) break;
    }
    gate.Release();
    if (WaitForSingleObject(program.Handle(), kRunLimitMs) != WAIT_OBJECT_0) {
      memory.held = false;  // ended when `program` goes
    }
  }
  DeleteFileW(stampPath.c_str());
  return memory;
}

#include "bench/program_runs_win32.h"

#include <psapi.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench_protocol.h"
#include "bench/file_time_win32.h"
#include "bench/launcher_inputs_win32.h"

static constexpr DWORD kRunLimitMs = 300000;

static double Milliseconds(LONGLONG ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

static std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

static std::wstring Join(const std::wstring& folder, const char16_t* name) {
  std::wstring path = folder;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path + reinterpret_cast<const wchar_t*>(name);
}

static bool StartProgram(const std::vector<std::wstring>& command, PROCESS_INFORMATION& process) {
  const std::wstring& path = command[0];
  std::wstring commandLine;
  for (const std::wstring& item : command) {
    commandLine += (commandLine.empty() ? L"\"" : L" \"") + item + L"\"";
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  return CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        FolderOf(path).c_str(), &startup, &process) != 0;
}

// The launcher and the installer it starts find their temporary folder and the bench's settings
// in the environment they inherit from the driver.
static void SetChildEnvironment(const std::wstring& tempFolder, const wchar_t* stampPath,
                                const wchar_t* readyName, const wchar_t* releaseName) {
  SetEnvironmentVariableW(L"TMP", tempFolder.c_str());
  SetEnvironmentVariableW(L"TEMP", tempFolder.c_str());
  SetEnvironmentVariableW(kStampPathVariable, stampPath);
  SetEnvironmentVariableW(kPackageNameVariable,
                          reinterpret_cast<const wchar_t*>(kBenchPackageName));
  SetEnvironmentVariableW(kReadyEventVariable, readyName);
  SetEnvironmentVariableW(kReleaseEventVariable, releaseName);
}

struct BoxSearch {
  DWORD processId;
  std::wstring text;
};

static BOOL CALLBACK FindBoxText(HWND window, LPARAM context) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[16];
  if (owner != search->processId || !GetClassNameW(window, className, 16) ||
      lstrcmpW(className, L"#32770") != 0) {
    return TRUE;
  }
  wchar_t text[1024];
  if (GetDlgItemTextW(window, 0xFFFF, text, 1024)) search->text = text;
  return TRUE;
}

// A launcher that is still running after the limit is stuck, usually behind an error box, whose
// text says why. It is ended so the bench can go on.
static std::wstring EndStuckLauncher(const PROCESS_INFORMATION& process) {
  BoxSearch search{process.dwProcessId, L"(no error box)"};
  EnumWindows(FindBoxText, reinterpret_cast<LPARAM>(&search));
  TerminateProcess(process.hProcess, 1);
  WaitForSingleObject(process.hProcess, 10000);
  return search.text;
}

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(size > 0 ? size - 1 : 0, '\0');
  if (size > 1)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0], size, nullptr, nullptr);
  return narrow;
}

// The pair of named events through which the driver holds a program (or the installer a launcher
// starts) once it is running, and lets it go again. Unique per pair.
struct HoldEvents {
  std::wstring readyName;
  std::wstring releaseName;
  HANDLE ready;
  HANDLE release;
  HoldEvents() {
    static LONG counter = 0;
    std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" +
                       std::to_wstring(InterlockedIncrement(&counter));
    readyName = L"Local\\vossimere-bench-ready-" + tag;
    releaseName = L"Local\\vossimere-bench-release-" + tag;
    ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    release = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
  }
  ~HoldEvents() {
    SetEvent(release);
    CloseHandle(ready);
    CloseHandle(release);
  }
  HoldEvents(const HoldEvents&) = delete;
  HoldEvents& operator=(const HoldEvents&) = delete;
};

// The stamp the bench installer wrote (decimal text), or the JSON figure a program that times
// itself wrote instead (`ownReport`).
static bool ReadStamp(const std::wstring& path, LONGLONG& entered, long long& packageBytes,
                      long long& created, std::string& ownReport) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char text[512] = {};
  DWORD got = 0;
  bool read = ReadFile(file, text, sizeof text - 1, &got, nullptr) && got > 0;
  CloseHandle(file);
  if (!read) return false;
  if (text[0] == '{') {
    ownReport.assign(text, strcspn(text, "\r\n"));
    return false;
  }
  char* end = nullptr;
  entered = std::strtoll(text, &end, 10);
  packageBytes = std::strtoll(end, &end, 10);
  created = std::strtoll(end, nullptr, 10);
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
  HoldEvents hold;
  std::wstring stampPath = Join(tempFolder, u"installer-stamp.txt");
  DeleteFileW(stampPath.c_str());
  SetChildEnvironment(tempFolder, stampPath.c_str(),
                      holdInstaller ? hold.readyName.c_str() : nullptr,
                      holdInstaller ? hold.releaseName.c_str() : nullptr);

  long long startedAt = SystemTimeNow();
  LARGE_INTEGER started;
  QueryPerformanceCounter(&started);
  PROCESS_INFORMATION process;
  if (!StartProgram(command, process)) {
    run.failure = L"CreateProcessW failed";
    return run;
  }
  CloseHandle(process.hThread);
  // Held until the driver has seen the installer run: the launcher has written both files by then.
  HANDLE waitFor[2] = {hold.ready, process.hProcess};
  if (holdInstaller) WaitForMultipleObjects(2, waitFor, FALSE, kRunLimitMs);
  SetEvent(hold.release);
  run.exited = WaitForSingleObject(process.hProcess, kRunLimitMs) == WAIT_OBJECT_0;
  LARGE_INTEGER ended;
  QueryPerformanceCounter(&ended);
  if (!run.exited) run.failure = EndStuckLauncher(process);
  if (run.exited) GetExitCodeProcess(process.hProcess, &run.exitCode);
  CloseHandle(process.hProcess);
  run.toExitMs = Milliseconds(ended.QuadPart - started.QuadPart);

  LONGLONG entered = 0;
  long long created = 0;
  run.installerStarted = ReadStamp(stampPath, entered, run.packageBytes, created, run.ownReport);
  if (run.installerStarted) {
    run.toInstallerMs = Milliseconds(entered - started.QuadPart);
    if (created != 0) run.toInstallerCreatedMs = (created - startedAt) / 10000.0;
  }
  DeleteFileW(stampPath.c_str());
  run.folderRemoved =
      GetFileAttributesW(Join(tempFolder, kBenchFolderName).c_str()) == INVALID_FILE_ATTRIBUTES;
  return run;
}

struct MemorySample {
  uint64_t peakWorkingSet = 0;
  uint64_t privateBytes = 0;
};

// Wine fills these from the process's /proc/<pid>/status: PeakWorkingSetSize from VmHWM (the
// kernel's own peak), PagefileUsage from RssAnon plus VmSwap (its private memory right now); it
// leaves PrivateUsage at 0 and PeakPagefileUsage equal to the current figure, and reports nothing
// once the process has ended.
static bool Sample(HANDLE process, MemorySample& sample) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return false;
  sample.peakWorkingSet = counters.PeakWorkingSetSize;
  sample.privateBytes = counters.PagefileUsage;
  return true;
}

HeldMemory MeasureHeldProgram(const std::wstring& path, const std::wstring& tempFolder) {
  HeldMemory memory;
  HoldEvents hold;
  std::wstring stampPath = Join(tempFolder, u"installer-stamp.txt");
  SetChildEnvironment(tempFolder, stampPath.c_str(), hold.readyName.c_str(),
                      hold.releaseName.c_str());

  PROCESS_INFORMATION process;
  if (StartProgram({path}, process)) {
    CloseHandle(process.hThread);
    HANDLE waitFor[2] = {hold.ready, process.hProcess};
    for (DWORD waited = 0; waited < kRunLimitMs; ++waited) {
      DWORD which = WaitForMultipleObjects(2, waitFor, FALSE, 1);
      MemorySample sample;
      if (Sample(process.hProcess, sample)) {
        ++memory.samples;
        if (sample.privateBytes > memory.privatePeakSampled) {
          memory.privatePeakSampled = sample.privateBytes;
        }
        if (which == WAIT_OBJECT_0) {
          memory.held = true;
          memory.peakWorkingSet = sample.peakWorkingSet;
          memory.privateAtHold = sample.privateBytes;
        }
      }
      if (which != WAIT_TIMEOUT) break;
    }
    SetEvent(hold.release);
    memory.exited = WaitForSingleObject(process.hProcess, kRunLimitMs) == WAIT_OBJECT_0;
    if (memory.exited) {
      GetExitCodeProcess(process.hProcess, &memory.exitCode);
    } else {
      memory.held = false;
      EndStuckLauncher(process);
    }
    CloseHandle(process.hProcess);
  }
  DeleteFileW(stampPath.c_str());
  return memory;
}

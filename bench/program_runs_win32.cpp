#include "bench/program_runs_win32.h"

#include <psapi.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "bench/bench_protocol.h"
#include "bench/file_time_win32.h"
#include "bench/launcher_inputs_win32.h"
#include "bench/step_marks_protocol.h"

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

static bool StartProgram(const std::wstring& path, PROCESS_INFORMATION& process,
                         const std::wstring& argument = std::wstring()) {
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!argument.empty()) commandLine += L" \"" + argument + L"\"";
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

// The whole of a file that reports no size, as the files under /proc do.
static std::string ReadWholeFile(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char piece[65536];
  DWORD got = 0;
  while (ReadFile(file, piece, sizeof piece, &got, nullptr) && got != 0) text.append(piece, got);
  CloseHandle(file);
  return text;
}

// The Linux process that runs the Windows program started from `path`: Wine puts the program's
// Windows path first on that process's command line. 0 when there is none.
static unsigned long UnixProcessOf(const std::wstring& path) {
  std::string wanted = Utf8(path);
  unsigned long found = 0;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    wchar_t* end = nullptr;
    unsigned long pid = std::wcstoul(entry.cFileName, &end, 10);
    if (pid == 0 || *end != L'\0') continue;
    std::string commandLine =
        ReadWholeFile(L"Z:\\proc\\" + std::wstring(entry.cFileName) + L"\\cmdline");
    if (commandLine.c_str() == wanted) found = pid;
  } while (!found && FindNextFileW(search, &entry));
  FindClose(search);
  return found;
}

// Sums the "Anonymous:" lines of /proc/<pid>/smaps by the file name behind each mapping.
static std::vector<std::pair<std::string, uint64_t>> AnonymousByMapping(unsigned long pid) {
  std::string smaps = ReadWholeFile(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\smaps");
  std::map<std::string, uint64_t> sums;
  std::string name;
  size_t start = 0;
  while (start < smaps.size()) {
    size_t end = smaps.find('\n', start);
    if (end == std::string::npos) end = smaps.size();
    std::string line = smaps.substr(start, end - start);
    start = end + 1;
    size_t dash = line.find('-');
    if (dash != std::string::npos && line.find_first_not_of("0123456789abcdef") == dash) {
      // A mapping's first line: range, permissions, offset, device, inode, then the path if any.
      size_t field = 0;
      size_t at = 0;
      while (field < 5 && at != std::string::npos) {
        at = line.find(' ', at);
        if (at != std::string::npos) at = line.find_first_not_of(' ', at);
        ++field;
      }
      std::string path = at == std::string::npos ? std::string() : line.substr(at);
      size_t slash = path.find_last_of('/');
      name = slash == std::string::npos ? path : path.substr(slash + 1);
      if (name.empty()) name = "(no file: Windows heaps, stacks, buffers)";
    } else if (line.compare(0, 10, "Anonymous:") == 0) {
      sums[name] += std::strtoull(line.c_str() + 10, nullptr, 10) * 1024;
    }
  }
  return std::vector<std::pair<std::string, uint64_t>>(sums.begin(), sums.end());
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

// The shared memory a marked program records its steps in, made for one run and named in the
// environment the program inherits.
class StepMarksArea {
 public:
  StepMarksArea() {
    static LONG counter = 0;
    name_ = L"Local\\vossimere-bench-marks-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&counter));
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(StepMarks), name_.c_str());
    marks_ = mapping_ ? static_cast<StepMarks*>(
                            MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(StepMarks)))
                      : nullptr;
    SetEnvironmentVariableW(kStepMarksVariable, marks_ ? name_.c_str() : nullptr);
  }
  ~StepMarksArea() {
    SetEnvironmentVariableW(kStepMarksVariable, nullptr);
    if (marks_) UnmapViewOfFile(marks_);
    if (mapping_) CloseHandle(mapping_);
  }
  StepMarksArea(const StepMarksArea&) = delete;
  StepMarksArea& operator=(const StepMarksArea&) = delete;

  // The marks taken, each in ms from the counter reading `started`.
  std::vector<std::pair<std::string, double>> Since(LONGLONG started) const {
    std::vector<std::pair<std::string, double>> marks;
    if (!marks_) return marks;
    long count = marks_->count < kMaxStepMarks ? marks_->count : kMaxStepMarks;
    for (long i = 0; i < count; ++i) {
      const StepMark& mark = marks_->marks[i];
      std::string name(mark.name, strnlen(mark.name, kStepNameSize));
      marks.emplace_back(name, Milliseconds(mark.counter - started));
    }
    return marks;
  }

 private:
  std::wstring name_;
  HANDLE mapping_ = nullptr;
  StepMarks* marks_ = nullptr;
};

// The processor time (user and system) a Linux process has used so far, its ended threads
// included: fields 14 and 15 of /proc/<pid>/stat, in clock ticks of 1/100 s (USER_HZ, which the
// kernel keeps at 100 for this interface). -1 when it cannot be read.
static double ProcessorMs(unsigned long pid) {
  std::string stat = ReadWholeFile(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\stat");
  size_t at = stat.rfind(')');  // the command name may hold spaces; the fields follow it
  if (at == std::string::npos) return -1;
  // Field 3 (the state) follows the name; utime and stime are fields 14 and 15.
  const char* cursor = stat.c_str() + at + 1;
  char* end = nullptr;
  for (int field = 3; field < 14; ++field) {
    while (*cursor == ' ') ++cursor;
    while (*cursor && *cursor != ' ') ++cursor;
  }
  unsigned long long user = std::strtoull(cursor, &end, 10);
  unsigned long long system = std::strtoull(end, nullptr, 10);
  return 10.0 * static_cast<double>(user + system);
}

static bool ReadStamp(const std::wstring& path, LONGLONG& entered, long long& packageBytes,
                      long long& created) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char text[96] = {};
  DWORD got = 0;
  bool read = ReadFile(file, text, sizeof text - 1, &got, nullptr) && got > 0;
  CloseHandle(file);
  if (!read) return false;
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

// Starts the program at `path` and waits for its end. With `holdInstaller` the bench installer
// holds it once it runs, while its processor time is read; without, the installer ends at once
// and the program's end is its whole run.
static TimedRun TimeRun(const std::wstring& path, const std::wstring& tempFolder,
                        const std::wstring& argument, bool holdInstaller) {
  TimedRun run;
  HoldEvents hold;
  StepMarksArea marks;
  std::wstring stampPath = Join(tempFolder, u"installer-stamp.txt");
  DeleteFileW(stampPath.c_str());
  SetChildEnvironment(tempFolder, stampPath.c_str(),
                      holdInstaller ? hold.readyName.c_str() : nullptr,
                      holdInstaller ? hold.releaseName.c_str() : nullptr);

  long long startedAt = SystemTimeNow();
  LARGE_INTEGER started;
  QueryPerformanceCounter(&started);
  PROCESS_INFORMATION process;
  if (!StartProgram(path, process, argument)) {
    run.failure = L"CreateProcessW failed";
    return run;
  }
  CloseHandle(process.hThread);
  // Held for a moment once the installer runs: the launcher has written both files by then.
  HANDLE waitFor[2] = {hold.ready, process.hProcess};
  if (holdInstaller && WaitForMultipleObjects(2, waitFor, FALSE, kRunLimitMs) == WAIT_OBJECT_0) {
    unsigned long unixProcess = UnixProcessOf(path);
    if (unixProcess != 0) run.processorMs = ProcessorMs(unixProcess);
  }
  SetEvent(hold.release);
  run.exited = WaitForSingleObject(process.hProcess, kRunLimitMs) == WAIT_OBJECT_0;
  LARGE_INTEGER ended;
  QueryPerformanceCounter(&ended);
  if (!run.exited) run.failure = EndStuckLauncher(process);
  if (run.exited) GetExitCodeProcess(process.hProcess, &run.exitCode);
  FILETIME creation, exit, kernel, user;
  if (GetProcessTimes(process.hProcess, &creation, &exit, &kernel, &user)) {
    run.toCreatedMs = (FileTimeValue(creation) - startedAt) / 10000.0;
  }
  CloseHandle(process.hProcess);
  run.toExitMs = Milliseconds(ended.QuadPart - started.QuadPart);
  run.marks = marks.Since(started.QuadPart);

  LONGLONG entered = 0;
  long long created = 0;
  run.installerStarted = ReadStamp(stampPath, entered, run.packageBytes, created);
  if (run.installerStarted) {
    run.toInstallerMs = Milliseconds(entered - started.QuadPart);
    if (created != 0) run.toInstallerCreatedMs = (created - startedAt) / 10000.0;
  }
  DeleteFileW(stampPath.c_str());
  run.folderRemoved =
      GetFileAttributesW(Join(tempFolder, kBenchFolderName).c_str()) == INVALID_FILE_ATTRIBUTES;
  return run;
}

TimedRun TimeLauncher(const std::wstring& path, const std::wstring& tempFolder,
                      const std::wstring& argument) {
  return TimeRun(path, tempFolder, argument, true);
}

TimedRun TimeWholeRun(const std::wstring& path, const std::wstring& tempFolder) {
  return TimeRun(path, tempFolder, std::wstring(), false);
}

bool TimeStartToExit(const std::wstring& path, double& toExitMs) {
  // Without the hold events' names the bare programs end at once.
  SetEnvironmentVariableW(kReadyEventVariable, nullptr);
  SetEnvironmentVariableW(kReleaseEventVariable, nullptr);
  LARGE_INTEGER started;
  QueryPerformanceCounter(&started);
  PROCESS_INFORMATION process;
  if (!StartProgram(path, process)) return false;
  CloseHandle(process.hThread);
  bool exited = WaitForSingleObject(process.hProcess, kRunLimitMs) == WAIT_OBJECT_0;
  LARGE_INTEGER ended;
  QueryPerformanceCounter(&ended);
  if (!exited) EndStuckLauncher(process);
  CloseHandle(process.hProcess);
  toExitMs = Milliseconds(ended.QuadPart - started.QuadPart);
  return exited;
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
  if (StartProgram(path, process)) {
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
          unsigned long unixProcess = UnixProcessOf(path);
          if (unixProcess != 0) memory.privateByMapping = AnonymousByMapping(unixProcess);
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

// The Windows half of bench/run: makes the launcher files the benchmarks need, runs them under
// Wine and prints raw measurements, one JSON line per run (bench_protocol.h), for bench/run to
// summarise. Every run is reported, a failed one with "ok": false and its failure, and the
// driver ends with 1 when any run failed.
//
//   vossimere-bench package <out> <bytes>
//   vossimere-bench launcher <out> <stub> <installer> <package> [<file length>]
//   vossimere-bench time <runs> <temporary folder> <launcher file>...
//   vossimere-bench memory <runs> <temporary folder> <program>...
//   vossimere-bench start <runs> <program>...
//   vossimere-bench start-pairs <pairs> <temporary folder> <launcher file> <bare starter>
//                   <extracted installer>
//   vossimere-bench copy-pairs <pairs> <temporary folder> <launcher file> <copy folder>
//                   <source>...
//   vossimere-bench peer-pairs <pairs> <temporary folder> <launcher file> <peer file>
//   vossimere-bench soak <runs> <temporary folder> <launcher file> <installer exit code>
//   vossimere-bench desktop <seconds>
//
// Paths may be Linux paths; they are reached through Wine's Z: drive.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_protocol.h"
#include "bench/launcher_inputs_win32.h"
#include "bench/piece_copy_win32.h"
#include "bench/program_runs_win32.h"

static std::wstring WindowsPath(std::wstring path) {
  if (path.empty() || path[0] != L'/') return path;
  for (wchar_t& unit : path) {
    if (unit == L'/') unit = L'\\';
  }
  return L"Z:" + path;
}

static std::string BaseName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return Utf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// The launcher's transfer piece, which the bare copy uses too.
static constexpr DWORD kPieceSize = 1048576;

static int Usage() {
  std::fprintf(
      stderr, "usage: vossimere-bench package <out> <bytes>\n"
              "       vossimere-bench launcher <out> <stub> <installer> <package> [<file length>]\n"
              "       vossimere-bench time <runs> <temporary folder> <launcher file>...\n"
              "       vossimere-bench memory <runs> <temporary folder> <program>...\n"
              "       vossimere-bench start <runs> <program>...\n"
              "       vossimere-bench start-pairs <pairs> <temporary folder> <launcher file>\n"
              "                       <bare starter> <extracted installer>\n"
              "       vossimere-bench copy-pairs <pairs> <temporary folder> <launcher file>\n"
              "                       <copy folder> <source>...\n"
              "       vossimere-bench peer-pairs <pairs> <temporary folder> <launcher file>\n"
              "                       <peer file>\n"
              "       vossimere-bench soak <runs> <temporary folder> <launcher file> <code>\n"
              "       vossimere-bench desktop <seconds>\n");
  return 2;
}

// Wine starts the desktop process (explorer.exe) for the first window of a session and ends it a
// moment after the last program has gone, which takes over 100 ms each way. Without this, the
// first timed program of a driver run would pay for that start alone, or not, depending on
// whether the desktop of the previous run had ended yet. The driver holds the desktop itself, so
// that every program it times finds it running. `desktop` holds it for a whole bench run, so that
// no driver that follows another waits for a new desktop either. The window is never shown and
// lasts as long as the driver; nothing the driver starts sends messages to other programs' windows.
static void HoldDesktop() {
  CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                  GetModuleHandleW(nullptr), nullptr);
}

// Runs every launcher file once per round, round after round, so slow drifts of a shared machine
// touch all of them alike.
static int TimeLaunchers(int runs, const std::wstring& tempFolder,
                         const std::vector<std::wstring>& launchers) {
  bool allGood = true;
  for (int round = 1; round <= runs; ++round) {
    for (const std::wstring& launcher : launchers) {
      TimedRun run = TimeLauncher(launcher, tempFolder);
      bool good = run.exited && run.installerStarted && run.folderRemoved;
      allGood = allGood && good;
      JsonLine("time")
          .Text("file", BaseName(launcher))
          .Whole("round", round)
          .Bool("ok", good)
          .Number("to_installer_ms", run.toInstallerMs)
          .Number("to_created_ms", run.toInstallerCreatedMs)
          .Number("to_exit_ms", run.toExitMs)
          .Number("processor_ms", run.processorMs, 0)
          .Whole("package_bytes", run.packageBytes)
          .Bool("folder_removed", run.folderRemoved)
          .Whole("exit_code", static_cast<long long>(run.exitCode))
          .Text("failure", Utf8(run.failure))
          .Print();
    }
  }
  return allGood ? 0 : 1;
}

// The steps a marked program recorded in a run, as one line: {"kind": "marks", "program":
// <name>, "pair": <n>, "steps": {"created": <ms>, <step>: <ms>...}}, in the order taken, the step
// names with their spaces made underscores.
static void PrintMarks(const char* program, int pair, const TimedRun& run) {
  if (run.marks.empty()) return;
  JsonLine line("marks");
  line.Text("program", program).Whole("pair", pair).Open("steps");
  line.Number("created", run.toCreatedMs);
  for (const auto& mark : run.marks) {
    std::string name = mark.first;
    for (char& c : name) {
      if (c == ' ') c = '_';
    }
    line.Number(name.c_str(), mark.second);
  }
  line.Close().Print();
}

// The launcher file and the bare starter taking turns, launcher first in each pair: each starts
// the same bench installer (the launcher its own copy, the starter the one already extracted),
// and is timed to that installer's creation.
static int TimeStartPairs(int pairs, const std::wstring& tempFolder, const std::wstring& launcher,
                          const std::wstring& starter, const std::wstring& installer) {
  bool allGood = true;
  int retries = 0;
  for (int pair = 1; pair <= pairs; ++pair) {
    TimedRun launched = TimeLauncher(launcher, tempFolder);
    TimedRun started = TimeLauncher(starter, tempFolder, installer);
    bool launcherGood = launched.exited && launched.installerStarted && launched.folderRemoved &&
                        launched.toInstallerCreatedMs > 0;
    bool starterGood =
        started.exited && started.installerStarted && started.toInstallerCreatedMs > 0;
    // Under Wine the bare starter's start of its installer fails now and then (about once in some
    // hundreds of runs, the installer never entered). That pair is reported and timed again, at
    // most twice; a launcher that fails is never timed again.
    if (launcherGood && !starterGood && retries < 2) {
      JsonLine("start-pair-again")
          .Whole("pair", pair)
          .Whole("starter_exit", static_cast<long long>(started.exitCode))
          .Print();
      ++retries;
      --pair;
      continue;
    }
    bool good = launcherGood && starterGood;
    allGood = allGood && good;
    JsonLine("start-pair")
        .Whole("pair", pair)
        .Bool("ok", good)
        .Number("launcher_created_ms", launched.toInstallerCreatedMs)
        .Number("starter_created_ms", started.toInstallerCreatedMs)
        .Number("launcher_entered_ms", launched.toInstallerMs)
        .Number("starter_entered_ms", started.toInstallerMs)
        .Whole("launcher_exit", static_cast<long long>(launched.exitCode))
        .Whole("starter_exit", static_cast<long long>(started.exitCode))
        .Text("failure", Utf8(launched.failure))
        .Print();
    PrintMarks("launcher", pair, launched);
    PrintMarks("starter", pair, started);
  }
  return allGood ? 0 : 1;
}

static std::wstring FileNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The launcher's copy without the launcher: the sources copied into `copyFolder` in 1 MiB pieces
// by this program, timed, and the copies deleted again.
static bool TimeBareCopy(const std::vector<std::wstring>& sources, const std::wstring& copyFolder,
                         void* buffer, double& ms) {
  std::vector<std::wstring> targets;
  bool copied = true;
  LARGE_INTEGER frequency, started, ended;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&started);
  for (size_t i = 0; copied && i < sources.size(); ++i) {
    targets.push_back(copyFolder + L"\\" + FileNameOf(sources[i]));
    copied = CopyFileInPieces(sources[i], targets.back(), kPieceSize, buffer);
  }
  QueryPerformanceCounter(&ended);
  for (const std::wstring& target : targets) DeleteFileW(target.c_str());
  ms = 1000.0 * static_cast<double>(ended.QuadPart - started.QuadPart) /
       static_cast<double>(frequency.QuadPart);
  return copied;
}

// The launcher file and the bare copy of the files it carries taking turns, launcher first in
// each pair. Each copy starts as soon as the one before it has ended and deleted what it wrote,
// so both copies of a pair meet memory freed the same moment before.
static int TimeCopyPairs(int pairs, const std::wstring& tempFolder, const std::wstring& launcher,
                         const std::wstring& copyFolder, const std::vector<std::wstring>& sources) {
  void* buffer = VirtualAlloc(nullptr, kPieceSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!buffer) return 1;
  bool allGood = true;
  for (int pair = 1; pair <= pairs; ++pair) {
    TimedRun launched = TimeLauncher(launcher, tempFolder);
    double bareMs = 0;
    bool copied = TimeBareCopy(sources, copyFolder, buffer, bareMs);
    bool good = launched.exited && launched.installerStarted && launched.folderRemoved &&
                launched.toInstallerCreatedMs > 0 && copied;
    allGood = allGood && good;
    JsonLine("copy-pair")
        .Whole("pair", pair)
        .Bool("ok", good)
        .Number("launcher_created_ms", launched.toInstallerCreatedMs)
        .Number("launcher_entered_ms", launched.toInstallerMs)
        .Number("bare_ms", bareMs)
        .Bool("bare_copied", copied)
        .Whole("package_bytes", launched.packageBytes)
        .Text("failure", Utf8(launched.failure))
        .Print();
  }
  VirtualFree(buffer, 0, MEM_RELEASE);
  return allGood ? 0 : 1;
}

// The launcher file and another product's file that does the same job with the same two files
// (bench/nsis_peer.nsi) taking turns, launcher first in each pair, each run whole with nobody
// holding it: to its installer's creation, to the installer's entry and to its own end, the
// clean-up after the installer included. A run is good when the installer found the whole
// package, the program ended with the installer's exit code (0) and the folder is gone.
static int TimePeerPairs(int pairs, const std::wstring& tempFolder, const std::wstring& launcher,
                         const std::wstring& peer) {
  bool allGood = true;
  for (int pair = 1; pair <= pairs; ++pair) {
    TimedRun launched = TimeWholeRun(launcher, tempFolder);
    TimedRun peered = TimeWholeRun(peer, tempFolder);
    auto good = [](const TimedRun& run) {
      return run.exited && run.exitCode == 0 && run.installerStarted && run.folderRemoved &&
             run.toInstallerCreatedMs > 0;
    };
    bool bothGood = good(launched) && good(peered);
    allGood = allGood && bothGood;
    JsonLine("peer-pair")
        .Whole("pair", pair)
        .Bool("ok", bothGood)
        .Number("launcher_created_ms", launched.toInstallerCreatedMs)
        .Number("peer_created_ms", peered.toInstallerCreatedMs)
        .Number("launcher_entered_ms", launched.toInstallerMs)
        .Number("peer_entered_ms", peered.toInstallerMs)
        .Number("launcher_exit_ms", launched.toExitMs)
        .Number("peer_exit_ms", peered.toExitMs)
        .Whole("launcher_package_bytes", launched.packageBytes)
        .Whole("peer_package_bytes", peered.packageBytes)
        .Whole("launcher_exit", static_cast<long long>(launched.exitCode))
        .Whole("peer_exit", static_cast<long long>(peered.exitCode))
        .Text("launcher_failure", Utf8(launched.failure))
        .Text("peer_failure", Utf8(peered.failure))
        .Print();
    PrintMarks("launcher", pair, launched);
  }
  return allGood ? 0 : 1;
}

// Starts every program once per round, nobody holding it, and times it from start to exit.
static int TimeStarts(int runs, const std::vector<std::wstring>& programs) {
  bool allGood = true;
  for (int round = 1; round <= runs; ++round) {
    for (const std::wstring& program : programs) {
      double toExitMs = 0;
      bool exited = TimeStartToExit(program, toExitMs);
      allGood = allGood && exited;
      JsonLine("start")
          .Text("file", BaseName(program))
          .Whole("round", round)
          .Bool("ok", exited)
          .Number("to_exit_ms", toExitMs)
          .Print();
    }
  }
  return allGood ? 0 : 1;
}

static int MeasurePrograms(int runs, const std::wstring& tempFolder,
                           const std::vector<std::wstring>& programs) {
  bool allGood = true;
  for (int round = 1; round <= runs; ++round) {
    for (const std::wstring& program : programs) {
      HeldMemory memory = MeasureHeldProgram(program, tempFolder);
      allGood = allGood && memory.held;
      JsonLine("memory")
          .Text("file", BaseName(program))
          .Whole("round", round)
          .Bool("ok", memory.held)
          .Whole("peak_working_set", static_cast<long long>(memory.peakWorkingSet))
          .Whole("private_at_hold", static_cast<long long>(memory.privateAtHold))
          .Whole("private_peak_sampled", static_cast<long long>(memory.privatePeakSampled))
          .Whole("samples", memory.samples)
          .Print();
      for (const auto& mapping : memory.privateByMapping) {
        JsonLine("mapping")
            .Text("file", BaseName(program))
            .Whole("round", round)
            .Whole("anonymous", static_cast<long long>(mapping.second))
            .Text("name", mapping.first)
            .Print();
      }
    }
  }
  return allGood ? 0 : 1;
}

// The names in `folder`, without "." and "..", separated by "|"; empty when there are none.
static std::wstring FolderEntries(const std::wstring& folder) {
  std::wstring names;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    names += (names.empty() ? L"" : L"|") + name;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

// Runs one launcher file again and again, its installer ending with `exitCode`: how each run
// ended, what it left in the temporary folder, and its peak memory (sampled as for `memory`).
static int Soak(int runs, const std::wstring& tempFolder, const std::wstring& launcher,
                DWORD exitCode) {
  SetEnvironmentVariableW(kExitCodeVariable, std::to_wstring(exitCode).c_str());
  bool allGood = true;
  for (int run = 1; run <= runs; ++run) {
    HeldMemory memory = MeasureHeldProgram(launcher, tempFolder);
    std::wstring left = FolderEntries(tempFolder);
    bool good = memory.held && memory.exited && memory.exitCode == exitCode && left.empty();
    allGood = allGood && good;
    JsonLine("soak")
        .Whole("run", run)
        .Bool("ok", good)
        .Bool("held", memory.held)
        .Bool("exited", memory.exited)
        .Whole("exit_code", static_cast<long long>(memory.exitCode))
        .Whole("private_peak_sampled", static_cast<long long>(memory.privatePeakSampled))
        .Whole("peak_working_set", static_cast<long long>(memory.peakWorkingSet))
        .Text("left", Utf8(left))
        .Print();
  }
  SetEnvironmentVariableW(kExitCodeVariable, nullptr);
  return allGood ? 0 : 1;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring command = argv[1];
  std::vector<std::wstring> args;
  for (int i = 2; i < argc; ++i) args.push_back(argv[i]);

  if (command == L"package" && args.size() == 2) {
    return WritePackage(WindowsPath(args[0]), std::wcstoull(args[1].c_str(), nullptr, 10)) ? 0 : 1;
  }
  if (command == L"launcher" && (args.size() == 4 || args.size() == 5)) {
    uint64_t fileLength = args.size() == 5 ? std::wcstoull(args[4].c_str(), nullptr, 10) : 0;
    return WriteLauncher(WindowsPath(args[0]), WindowsPath(args[1]), WindowsPath(args[2]),
                         WindowsPath(args[3]), fileLength)
               ? 0
               : 1;
  }
  if (command == L"desktop" && args.size() == 1) {
    HoldDesktop();
    Sleep(1000 * static_cast<DWORD>(std::wcstoul(args[0].c_str(), nullptr, 10)));
    return 0;
  }
  if (command == L"start" && args.size() >= 2) {
    HoldDesktop();
    int runs = static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10));
    std::vector<std::wstring> programs;
    for (size_t i = 1; i < args.size(); ++i) programs.push_back(WindowsPath(args[i]));
    if (runs < 1) return Usage();
    return TimeStarts(runs, programs);
  }
  if (command == L"start-pairs" && args.size() == 5) {
    int pairs = static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10));
    if (pairs < 1) return Usage();
    HoldDesktop();
    return TimeStartPairs(pairs, WindowsPath(args[1]), WindowsPath(args[2]), WindowsPath(args[3]),
                          WindowsPath(args[4]));
  }
  if (command == L"copy-pairs" && args.size() >= 5) {
    int pairs = static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10));
    if (pairs < 1) return Usage();
    std::vector<std::wstring> sources;
    for (size_t i = 4; i < args.size(); ++i) sources.push_back(WindowsPath(args[i]));
    HoldDesktop();
    return TimeCopyPairs(pairs, WindowsPath(args[1]), WindowsPath(args[2]), WindowsPath(args[3]),
                         sources);
  }
  if (command == L"peer-pairs" && args.size() == 4) {
    int pairs = static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10));
    if (pairs < 1) return Usage();
    HoldDesktop();
    return TimePeerPairs(pairs, WindowsPath(args[1]), WindowsPath(args[2]), WindowsPath(args[3]));
  }
  if (command == L"soak" && args.size() == 4) {
    int runs = static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10));
    if (runs < 1) return Usage();
    HoldDesktop();
    return Soak(runs, WindowsPath(args[1]), WindowsPath(args[2]),
                static_cast<DWORD>(std::wcstoul(args[3].c_str(), nullptr, 10)));
  }
  if ((command == L"time" || command == L"memory") && args.size() >= 3) {
    int runs = static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10));
    std::wstring tempFolder = WindowsPath(args[1]);
    std::vector<std::wstring> files;
    for (size_t i = 2; i < args.size(); ++i) files.push_back(WindowsPath(args[i]));
    if (runs < 1) return Usage();
    HoldDesktop();
    return command == L"time" ? TimeLaunchers(runs, tempFolder, files)
                              : MeasurePrograms(runs, tempFolder, files);
  }
  return Usage();
}

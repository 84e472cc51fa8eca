// The Windows half of bench/run: makes the launcher files the benchmarks need, runs them under
// Wine and prints raw measurements, one JSON line per run (bench_protocol.h), for bench/run to
// summarise. Every run is reported, a failed one with "ok": false and its failure, and the
// driver ends with 1 when any run failed. Its modes are those of kUsage; paths may be Linux paths,
// reached through Wine's Z: drive.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_protocol.h"
#include "bench/launcher_inputs_win32.h"
#include "bench/program_runs_win32.h"
#include "tests/support/wine_path.h"

static const char kUsage[] =
    "usage: vossimere-bench package <out> <bytes>\n"
    "       vossimere-bench launcher <out> <stub> <installer> <package> [<file length>]\n"
    "       vossimere-bench pairs <pairs> <temporary folder> <A> <B> [--hold]\n"
    "         (A and B: a program and its arguments, separated by |)\n"
    "       vossimere-bench memory <runs> <temporary folder> <program>...\n"
    "       vossimere-bench desktop <seconds>\n";

static int Usage() {
  std::fputs(kUsage, stderr);
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

// Splits a side of `pairs`, a program and its arguments separated by "|" (a character no Windows
// path holds), into its items, each Linux path reached through Wine's Z: drive.
static std::vector<std::wstring> SideItems(const std::wstring& side) {
  std::vector<std::wstring> items;
  size_t begin = 0;
  for (;;) {
    size_t bar = side.find(L'|', begin);
    items.push_back(
        WindowsPathOf(side.substr(begin, bar == std::wstring::npos ? bar : bar - begin)));
    if (bar == std::wstring::npos) return items;
    begin = bar + 1;
  }
}

// A run is good when the program ended by itself with 0, left no extraction folder, and either
// its installer reported with a creation time or the program reported its own figure.
static bool Good(const TimedRun& run) {
  return run.exited && run.exitCode == 0 && run.folderRemoved &&
         ((run.installerStarted && run.toInstallerCreatedMs > 0) || !run.ownReport.empty());
}

static void AddSide(JsonLine& line, const char* side, const TimedRun& run) {
  auto key = [side](const char* name) { return std::string(side) + "_" + name; };
  line.Number(key("created_ms").c_str(), run.toInstallerCreatedMs)
      .Number(key("entered_ms").c_str(), run.toInstallerMs)
      .Number(key("exit_ms").c_str(), run.toExitMs)
      .Whole(key("package_bytes").c_str(), run.packageBytes)
      .Whole(key("exit").c_str(), static_cast<long long>(run.exitCode))
      .Text(key("failure").c_str(), Utf8(run.failure));
  if (!run.ownReport.empty()) line.Raw(key("report").c_str(), run.ownReport);
}

// Two programs taking turns, A first in each pair, each timed from just before CreateProcessW to
// its installer's creation and entry and to its own end (with `hold`, the installer holds it until
// the driver has seen it running). A side is a program with its arguments (SideItems); a program
// that times itself (bare-copy) writes its own figure to the stamp file, reported as "b_report".
// Under Wine a bare program's start of its installer fails now and then (about once in some
// hundreds of runs): a pair whose A was good and B was not is reported and timed again, at most
// twice in all; a failed A is never timed again.
static int TimePairs(int pairs, const std::wstring& tempFolder, const std::wstring& a,
                     const std::wstring& b, bool hold) {
  std::vector<std::wstring> aItems = SideItems(a), bItems = SideItems(b);
  bool allGood = true;
  int retries = 0;
  for (int pair = 1; pair <= pairs; ++pair) {
    TimedRun first = TimeRun(aItems, tempFolder, hold);
    TimedRun second = TimeRun(bItems, tempFolder, hold);
    if (Good(first) && !Good(second) && retries < 2) {
      JsonLine("pair-again")
          .Whole("pair", pair)
          .Whole("b_exit", static_cast<long long>(second.exitCode))
          .Print();
      ++retries;
      --pair;
      continue;
    }
    bool good = Good(first) && Good(second);
    allGood = allGood && good;
    JsonLine line("pair");
    line.Whole("pair", pair).Bool("ok", good);
    AddSide(line, "a", first);
    AddSide(line, "b", second);
    line.Print();
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
          .Text("file", Utf8(std::filesystem::path(program).filename().wstring()))
          .Whole("round", round)
          .Bool("ok", memory.held)
          .Whole("private_peak_sampled", static_cast<long long>(memory.privatePeakSampled))
          .Print();
    }
  }
  return allGood ? 0 : 1;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return Usage();
  std::wstring command = argv[1];
  std::vector<std::wstring> args(argv + 2, argv + argc);
  // The count of pairs or rounds, or the desktop's seconds.
  int count = static_cast<int>(std::wcstol(args[0].c_str(), nullptr, 10));

  if (command == L"package" && args.size() == 2) {
    bool written =
        WritePackage(WindowsPathOf(args[0]), std::wcstoull(args[1].c_str(), nullptr, 10));
    return written ? 0 : 1;
  }
  if (command == L"launcher" && (args.size() == 4 || args.size() == 5)) {
    uint64_t fileLength = args.size() == 5 ? std::wcstoull(args[4].c_str(), nullptr, 10) : 0;
    bool written = WriteLauncher(WindowsPathOf(args[0]), WindowsPathOf(args[1]),
                                 WindowsPathOf(args[2]), WindowsPathOf(args[3]), fileLength);
    return written ? 0 : 1;
  }
  if (command == L"desktop" && args.size() == 1) {
    HoldDesktop();
    Sleep(1000 * static_cast<DWORD>(count));
    return 0;
  }
  bool pairs =
      command == L"pairs" && (args.size() == 4 || (args.size() == 5 && args[4] == L"--hold"));
  bool memory = command == L"memory" && args.size() >= 3;
  if (!(pairs || memory) || count < 1) return Usage();
  HoldDesktop();
  std::wstring tempFolder = WindowsPathOf(args[1]);
  if (pairs) return TimePairs(count, tempFolder, args[2], args[3], args.size() == 5);
  std::vector<std::wstring> programs;
  for (size_t i = 2; i < args.size(); ++i) programs.push_back(WindowsPathOf(args[i]));
  return MeasurePrograms(count, tempFolder, programs);
}

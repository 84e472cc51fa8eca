// The Windows test kit's runner, started by run-tests.cmd: runs each test program bin\tests.txt
// names, counts their cases from GoogleTest's XML reports and ends with "N passed, N failed,
// N skipped". What counts as a failure, the exit codes and the kit's layout: tests/README.md, "The
// Windows test kit".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/kit/report_folder.h"
#include "tests/kit/test_results.h"
#include "tests/support/quoted_argument.h"

namespace {

// A program of the kit runs for at most this long; the end-to-end tests take a few minutes.
const DWORD kProgramTimeLimitMs = 60 * 60 * 1000;

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string utf8(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], length,
                      nullptr, nullptr);
  return utf8;
}

// Writes a line to the standard output: as text to a console (whatever its code page), as UTF-8
// to a file or pipe. Unbuffered, so it keeps its place among the test programs' own output.
void Say(const std::string& line) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  std::string text = line + "\r\n";
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(out, &mode)) {
    std::wstring wide = Wide(text);
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

std::wstring OwnFolder() {
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\'));
}

// The whole file, or nothing with `found` false.
std::string ReadWholeFile(const std::wstring& path, bool* found) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  *found = file != INVALID_HANDLE_VALUE;
  if (!*found) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  CloseHandle(file);
  return bytes;
}

// What the ANSI code page makes of `path` (tests/kit/report_folder.h). Where that code page is
// UTF-8, WideCharToMultiByte takes neither WC_NO_BEST_FIT_CHARS nor a default character.
AnsiForm AnsiFormOf(const std::wstring& path) {
  AnsiForm ansi;
  if (path.empty()) return ansi;
  UINT codePage = GetACP();
  bool utf8 = codePage == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  int size = static_cast<int>(path.size());
  int length = WideCharToMultiByte(codePage, flags, path.data(), size, nullptr, 0, nullptr,
                                   utf8 ? nullptr : &usedDefault);
  ansi.bytes.resize(length);
  if (length > 0) {
    WideCharToMultiByte(codePage, flags, path.data(), size, &ansi.bytes[0], length, nullptr,
                        utf8 ? nullptr : &usedDefault);
  }
  ansi.usedDefaultChar = usedDefault != FALSE;
  int units = MultiByteToWideChar(codePage, 0, ansi.bytes.data(), length, nullptr, 0);
  ansi.readBack.resize(units);
  if (units > 0) {
    MultiByteToWideChar(codePage, 0, ansi.bytes.data(), length,
                        reinterpret_cast<wchar_t*>(&ansi.readBack[0]), units);
  }
  return ansi;
}

bool GoogleTestCanOpen(const std::wstring& path) {
  std::u16string units(path.begin(), path.end());
  return ReportPathSurvives(units, AnsiFormOf(path));
}

std::wstring EnvironmentFolder(const wchar_t* name) {
  wchar_t value[MAX_PATH + 1];
  DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return std::wstring(value, length);
}

std::wstring WithoutTrailingSlash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

// Where the programs write their reports: results\ itself where GoogleTest can open a path in it,
// otherwise a folder of this run in the first of these that it can: the temporary folder, by its
// long name and by its short one (an ASCII short name stands in for a user name in other
// characters), the folder for all users' program data, Windows's own temporary folder. Each
// report is moved into results\ once read. A folder left by an earlier run that had this process
// id is taken as it is: each report is deleted before its program runs. Empty when no candidate
// serves.
std::wstring ReportFolder(const std::wstring& results) {
  if (GoogleTestCanOpen(results)) return results;
  std::vector<std::wstring> places;
  wchar_t temp[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length > 0 && length <= MAX_PATH) {
    std::wstring longName = WithoutTrailingSlash(std::wstring(temp, length));
    places.push_back(longName);
    wchar_t shortName[MAX_PATH + 1];
    DWORD shortLength = GetShortPathNameW(longName.c_str(), shortName, MAX_PATH + 1);
    if (shortLength > 0 && shortLength <= MAX_PATH) places.emplace_back(shortName, shortLength);
  }
  places.push_back(EnvironmentFolder(L"ProgramData"));
  std::wstring windows = EnvironmentFolder(L"SystemRoot");
  if (!windows.empty()) places.push_back(windows + L"\\Temp");
  std::wstring name = L"vossimere-kit-" + std::to_wstring(GetCurrentProcessId());
  for (const std::wstring& place : places) {
    if (place.empty()) continue;
    std::wstring folder = place + L"\\" + name;
    if (!GoogleTestCanOpen(folder)) continue;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      continue;
    }
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return folder;
    }
  }
  return std::wstring();
}

std::wstring Stem(const std::wstring& program) {
  size_t dot = program.find_last_of(L'.');
  return dot == std::wstring::npos ? program : program.substr(0, dot);
}

// Runs one program of the list and reads its report.
ProgramRun RunProgram(const KitProgram& entry, const std::wstring& bin, const std::wstring& results,
                      const std::wstring& reports) {
  ProgramRun run;
  run.program = entry.program;
  std::wstring program = Wide(entry.program);
  std::wstring report = reports + L"\\" + Stem(program) + L".xml";
  std::wstring kept = results + L"\\" + Stem(program) + L".xml";
  std::wstring workFolder = results + L"\\" + Stem(program);
  DeleteFileW(report.c_str());
  DeleteFileW(kept.c_str());
  CreateDirectoryW(workFolder.c_str(), nullptr);

  std::wstring application = bin + L"\\" + program;
  std::wstring commandLine = QuotedArgument(application);
  for (const std::string& argument : entry.arguments) {
    std::wstring wide = Wide(argument);
    commandLine += L" " + QuotedArgument(argument[0] == '-' ? wide : bin + L"\\" + wide);
  }
  commandLine += L" " + QuotedArgument(L"--gtest_output=xml:" + report);

  // The program and everything it starts (installers held by a case, a stand-in scanner) run in
  // a job that ends them all when it closes, so that a program stopped at the limit takes its
  // tree with it. The program is put into the job before it runs its first instruction.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job == nullptr ||
      !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    run.started = false;
    run.exitCode = GetLastError();
    Say(entry.program + ": no job object to run it in (Windows error " +
        std::to_string(run.exitCode) + ")");
    if (job != nullptr) CloseHandle(job);
    return run;
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  unsigned long startError = StartTryingAgain(
      [&] {
        if (!CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                            CREATE_SUSPENDED, nullptr, workFolder.c_str(), &startup, &process)) {
          return static_cast<unsigned long>(GetLastError());
        }
        if (!AssignProcessToJobObject(job, process.hProcess)) {
          unsigned long error = GetLastError();
          TerminateProcess(process.hProcess, 1);
          CloseHandle(process.hThread);
          CloseHandle(process.hProcess);
          Say(entry.program + ": could not be put into its job (Windows error " +
              std::to_string(error) + ")");
          return error;
        }
        ResumeThread(process.hThread);
        return 0ul;
      },
      [&](unsigned long error) {
        Say(entry.program + ": could not be started (Windows error " + std::to_string(error) +
            "); trying again in a second");
        Sleep(1000);
      });
  if (startError != 0) {
    CloseHandle(job);
    run.started = false;
    run.exitCode = startError;
    return run;
  }
  CloseHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, kProgramTimeLimitMs) != WAIT_OBJECT_0) {
    Say(entry.program + ": still running after " + std::to_string(kProgramTimeLimitMs / 60000) +
        " minutes; ending it and every program it started");
    TerminateJobObject(job, 1);
    WaitForSingleObject(process.hProcess, 10000);
    run.ended = false;
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  // Whatever the program left running ends here, before the next program starts.
  CloseHandle(job);
  run.exitCode = exitCode;

  bool found = false;
  std::string xml = ReadWholeFile(report, &found);
  if (found) run.cases = ReadGoogleTestXml(xml);
  if (found && report != kept) MoveFileExW(report.c_str(), kept.c_str(), MOVEFILE_COPY_ALLOWED);
  return run;
}

std::string ExitCodeText(unsigned long code) {
  char text[32];
  std::snprintf(text, sizeof text, code > 0xFFFF ? "0x%08lX" : "%lu", code);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1) {
    bool help = std::wstring(argv[1]) == L"--help" || std::wstring(argv[1]) == L"/?";
    Say("Usage: run-tests.cmd\n\nRuns every test program of this kit and ends with one line\n"
        "\"N passed, N failed, N skipped\" counting test cases; exit code 0 when none failed.\n"
        "Each program's report and work folder are kept in results\\ beside run-tests.cmd.");
    return help ? 0 : 2;
  }
  std::wstring bin = OwnFolder();
  std::wstring root = bin.substr(0, bin.find_last_of(L'\\'));
  std::wstring results = root + L"\\results";

  bool found = false;
  std::string listText = ReadWholeFile(bin + L"\\tests.txt", &found);
  std::string problem = found ? "" : "cannot read it";
  std::vector<KitProgram> programs;
  if (found) programs = ReadKitList(listText, &problem);
  if (programs.empty()) {
    Say("run-tests: " + Utf8(bin) + "\\tests.txt: " + problem);
    return 2;
  }
  if (!CreateDirectoryW(results.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    Say("run-tests: cannot make " + Utf8(results) + " (Windows error " +
        std::to_string(GetLastError()) + "); copy the kit to a folder you can write to");
    return 2;
  }
  std::wstring reports = ReportFolder(results);
  if (reports.empty()) {
    Say("run-tests: no folder for the programs' reports whose path the ANSI code page can name; "
        "copy the kit to a folder whose path it can");
    return 2;
  }
  SetEnvironmentVariableW(L"VOSSIMERE_TEST_KIT", root.c_str());
  // A publisher's build may set it; the pack tool would then stamp every file it builds with that
  // time instead of its inputs', which the pack tests check.
  SetEnvironmentVariableW(L"SOURCE_DATE_EPOCH", nullptr);
  Say("Vossimere test kit in " + Utf8(root));
  if (reports != results) {
    Say("Reports written first to " + Utf8(reports) + " (code page " + std::to_string(GetACP()) +
        "), as GoogleTest cannot open a path in results\\ in it");
  }

  std::vector<std::pair<std::string, CaseResult>> skipped;
  std::vector<std::pair<std::string, CaseResult>> failed;
  std::vector<std::string> programLines;
  Tally total;
  for (const KitProgram& entry : programs) {
    Say("");
    Say("=== " + entry.program);
    ProgramRun run = RunProgram(entry, bin, results, reports);
    std::vector<CaseResult> cases = CountedCases(run);
    Tally tally = Count(cases);
    total.passed += tally.passed;
    total.failed += tally.failed;
    total.skipped += tally.skipped;
    for (const CaseResult& result : cases) {
      if (result.outcome == CaseOutcome::kSkipped) skipped.emplace_back(entry.program, result);
      if (result.outcome == CaseOutcome::kFailed) failed.emplace_back(entry.program, result);
    }
    std::string line = entry.program + ": " + (tally.failed ? "FAILED" : "passed") + ", " +
                       (run.started ? "exit code " + ExitCodeText(run.exitCode) : "not started") +
                       "; its cases " + std::to_string(tally.passed) + " passed, " +
                       std::to_string(tally.failed) + " failed, " + std::to_string(tally.skipped) +
                       " skipped";
    Say(line);
    programLines.push_back(line);
  }

  if (reports != results) RemoveDirectoryW(reports.c_str());

  Say("");
  Say("=== Results");
  for (const std::string& line : programLines) Say(line);
  Say("Skipped cases: " + std::to_string(skipped.size()));
  for (const auto& [program, result] : skipped) {
    Say("  " + program + " " + result.name + ": " +
        (result.reason.empty() ? "(no reason given)" : result.reason));
  }
  Say("Failed cases: " + std::to_string(failed.size()));
  for (const auto& [program, result] : failed) {
    // A program's own failure (no report, a crash) carries the program's name.
    Say("  " + (result.name == program ? program : program + " " + result.name) + ": " +
        result.reason);
  }
  Say(ClosingLine(total));
  return total.failed ? 1 : 0;
}

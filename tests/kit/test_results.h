// What the kit's runner reads: its list of test programs, and each program's cases from the report
// GoogleTest writes with --gtest_output=xml. Portable, so the host build tests it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// One line of the kit's list: a program and its arguments. An argument that starts with '-' is
// an option, passed as it is; any other names a file in the kit's bin folder.
struct KitProgram {
  std::string program;
  std::vector<std::string> arguments;
};

// The list: one program a line, then its arguments, separated by spaces (no name holds one);
// blank lines and lines starting with '#' are left out. Empty with `problem` set when the list
// names no program.
std::vector<KitProgram> ReadKitList(const std::string& text, std::string* problem);

enum class CaseOutcome { kPassed, kFailed, kSkipped };

struct CaseResult {
  std::string name;  // Suite.Case
  CaseOutcome outcome = CaseOutcome::kPassed;
  std::string reason;  // why it was skipped, or its first failure's first line
};

// The cases of a GoogleTest XML report, in its order. A case that failed and then skipped counts
// as failed; a disabled case as skipped. Empty when the text is not a complete report (a program
// that crashed while writing it, or wrote none).
std::optional<std::vector<CaseResult>> ReadGoogleTestXml(const std::string& xml);

// How one program's run ended, as the runner saw it.
struct ProgramRun {
  std::string program;
  bool started = true;         // false: Windows could not start it
  bool ended = true;           // false: stopped by the runner after its time limit
  unsigned long exitCode = 0;  // as Windows gives it; the Windows error when not started
  std::optional<std::vector<CaseResult>> cases;  // from its report, if it wrote a complete one
};

// Starts a program through `start`, which gives 0 or the Windows error it failed with, and tries
// again, up to three tries in all, while the error is one that passes: the program's file held
// for a moment (a virus scanner reading a program just unpacked), or a start that ended before
// the program began (Wine gives "internal error" when its loader fails now and then).
// `beforeRetry` is told each such error before the next try (the runner says so and pauses).
// Any other error, a file missing or not a program, is final at once. Gives the last error, 0 when
// the program started.
unsigned long StartTryingAgain(const std::function<unsigned long()>& start,
                               const std::function<void(unsigned long)>& beforeRetry);

// The cases a run counts with: its report's, plus one failed case named after the program when
// it could not be started, wrote no complete report, did not end in time, or ended with a non-zero
// code although none of its cases failed (a crash after the last case, a usage error before the
// first).
std::vector<CaseResult> CountedCases(const ProgramRun& run);

struct Tally {
  int passed = 0;
  int failed = 0;
  int skipped = 0;
};

Tally Count(const std::vector<CaseResult>& cases);

// "N passed, N failed, N skipped".
std::string ClosingLine(const Tally& tally);

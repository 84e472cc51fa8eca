// The pack tool's command line: the entry shared by the real program (main_posix.cpp,
// main_win32.cpp) and the tests, the option parser, and the commands.
#pragma once

#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Exit codes, as --help documents them.
constexpr int kExitOk = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitUsageOrInput = 2;

// Runs one command. `args` are the arguments after the program name, in UTF-8. The requested
// output (inspect's report, help) goes to `out`, every message to `err`. Never throws.
int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A command line the tool cannot make sense of.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CommandLine {
  std::map<std::string, std::string> values;              // by option name, e.g. "--stub" or "-o"
  std::map<std::string, std::vector<std::string>> lists;  // repeatable options, in order
  std::set<std::string> flags;                            // options given without a value
  std::vector<std::string> operands;
  bool help = false;

  bool Has(const std::string& option) const {
    return values.count(option) || flags.count(option) || lists.count(option);
  }
  std::string Value(const std::string& option) const;                // "" when absent
  std::vector<std::string> Values(const std::string& option) const;  // of a repeatable option
};

// `valued` options take the next argument (or "=value"), `repeatable` ones too, as often as
// given; `switches` take none; --help is always known. Throws UsageError for an unknown option, a
// repeated one that is not repeatable, or a missing value.
CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             const std::set<std::string>& valued,
                             const std::set<std::string>& switches,
                             const std::set<std::string>& repeatable = {});

// The file named by a command-line argument. "-" is refused with a UsageError: the tool seeks in
// its inputs and outputs, so the standard input or output cannot stand for them.
std::filesystem::path FileArgument(const std::string& text, const std::string& what);

// The one FILE operand of inspect, verify and extract; a UsageError when there is none or more.
std::string FileOperand(const CommandLine& line);

int RunBuild(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunInspect(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunVerify(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunExtract(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunManifest(const CommandLine& line, std::ostream& out, std::ostream& err);

extern const char kToolHelp[];
extern const char kBuildHelp[];
extern const char kInspectHelp[];
extern const char kVerifyHelp[];
extern const char kExtractHelp[];
extern const char kManifestHelp[];

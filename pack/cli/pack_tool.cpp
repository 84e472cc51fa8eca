#include "pack/cli/pack_tool.h"

#include <new>

#include "pack/cli/build_command.h"
#include "pack/cli/extract_command.h"
#include "pack/cli/help_text.h"
#include "pack/cli/inspect_command.h"
#include "pack/cli/manifest_command.h"
#include "pack/cli/pack_exit_codes.h"
#include "pack/cli/verify_command.h"
#include "pack/io/pack_error.h"
#include "pack/text/terminal_text.h"

#ifndef VOSSIMERE_VERSION
#define VOSSIMERE_VERSION "unknown"
#endif

namespace {

struct Command {
  const char* name;
  const char* help;
  std::set<std::string> valued;
  std::set<std::string> switches;
  std::set<std::string> repeatable;
  int (*run)(const CommandLine&, std::ostream&, std::ostream&);
};

const Command kCommands[] = {
    {"build",
     kBuildHelp,
     {"--stub", "--installer", "--package", "--title", "--folder", "--installer-name",
      "--package-name", "--installer-time", "--package-time", "-o", "--icon", "--file-version",
      "--product-version", "--product-name", "--company", "--description", "--copyright",
      "--original-filename", "--version-language"},
     {"--version-from-package"},
     {},
     RunBuild},
    {"inspect", kInspectHelp, {}, {"--json"}, {}, RunInspect},
    {"verify",
     kVerifyHelp,
     {"--ca", "--timestamp-ca"},
     {"--json", "--require-signed", "--require-timestamp"},
     {},
     RunVerify},
    {"extract", kExtractHelp, {"-d"}, {"--force"}, {}, RunExtract},
    {"manifest",
     kManifestHelp,
     {"--identifier", "--version", "--url", "--silent", "--silent-with-progress", "--interactive",
      "--log", "--install-location", "--upgrade", "--custom", "--output-dir", "--locale",
      "--publisher", "--package-name", "--license", "--short-description"},
     {},
     {"--return-code"},
     RunManifest},
};

int RunCommand(const Command& command, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  try {
    CommandLine line = ParseCommandLine(args, command.valued, command.switches, command.repeatable);
    if (line.help) {
      out << command.help;
      return kExitOk;
    }
    return command.run(line, out, err);
  } catch (const UsageError& e) {
    err << "vossimere-pack " << command.name << ": " << e.what() << "\n"
        << "Run 'vossimere-pack " << command.name << " --help' for its usage.\n";
  } catch (const PackError& e) {
    // Shown as text from a file is: a path there may hold any bytes and characters.
    err << "vossimere-pack " << command.name << ": " << TerminalText(e.what()) << "\n";
  } catch (const std::bad_alloc&) {
    err << "vossimere-pack " << command.name << ": out of memory\n";
  } catch (const std::exception& e) {
    err << "vossimere-pack " << command.name << ": " << e.what() << "\n";
  }
  return kExitUsageOrInput;
}

}  // namespace

int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kToolHelp;
    return kExitUsageOrInput;
  }
  const std::string& first = args[0];
  if (first == "--help" || first == "-h" || first == "help") {
    if (args.size() == 1) return out << kToolHelp, kExitOk;
    for (const Command& command : kCommands)
      if (args[1] == command.name && args.size() == 2) return out << command.help, kExitOk;
    std::string problem = args.size() == 2 ? "unknown command '" : "unexpected argument '";
    err << "vossimere-pack " << first << ": " << problem << args.back() << "'\n"
        << "Run 'vossimere-pack --help' for the commands.\n";
    return kExitUsageOrInput;
  }
  if (first == "--version") {
    out << "vossimere-pack " << VOSSIMERE_VERSION << "\n"
        << "Licensed under the Apache License 2.0; see the LICENSE file shipped with it.\n";
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (first == command.name)
      return RunCommand(command, std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  err << "vossimere-pack: unknown command '" << first << "'\n"
      << "Run 'vossimere-pack --help' for the commands.\n";
  return kExitUsageOrInput;
}

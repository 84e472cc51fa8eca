#include "pack/cli/command_line.h"

#include <new>

#include "pack/io/file_system.h"
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

std::string CommandLine::Value(const std::string& option) const {
  auto found = values.find(option);
  return found == values.end() ? std::string() : found->second;
}

std::vector<std::string> CommandLine::Values(const std::string& option) const {
  auto found = lists.find(option);
  return found == lists.end() ? std::vector<std::string>() : found->second;
}

std::string FileOperand(const CommandLine& line) {
  if (line.operands.empty()) throw UsageError("missing FILE");
  if (line.operands.size() > 1) throw UsageError("unexpected argument '" + line.operands[1] + "'");
  return line.operands[0];
}

std::filesystem::path FileArgument(const std::string& text, const std::string& what) {
  if (text == "-")
    throw UsageError(what +
                     " is '-', but the tool cannot read from the standard input or write "
                     "to the standard output: it needs a file it can seek in. Name a file (./- "
                     "for a file called '-')");
  return PathFromText(text);
}

CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             const std::set<std::string>& valued,
                             const std::set<std::string>& switches,
                             const std::set<std::string>& repeatable) {
  CommandLine line;
  bool onlyOperands = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyOperands || arg.size() < 2 || arg[0] != '-') {
      line.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyOperands = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      line.help = true;
      continue;
    }
    size_t equals = arg.find('=');
    std::string name = arg.substr(0, equals);
    if (line.Has(name) && !repeatable.count(name)) throw UsageError(name + " is given twice");
    if (repeatable.count(name)) {
      if (equals != std::string::npos) {
        line.lists[name].push_back(arg.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        line.lists[name].push_back(args[++i]);
      } else {
        throw UsageError(name + " needs a value");
      }
    } else if (valued.count(name)) {
      if (equals != std::string::npos) {
        line.values[name] = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        line.values[name] = args[++i];
      } else {
        throw UsageError(name + " needs a value");
      }
    } else if (switches.count(name) && equals == std::string::npos) {
      line.flags.insert(name);
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
  return line;
}

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

#include "pack/cli/command_line.h"

std::string CommandLine::Value(const std::string& option) const {
  auto found = values.find(option);
  return found == values.end() ? std::string() : found->second;
}

std::vector<std::string> CommandLine::Values(const std::string& option) const {
  auto found = lists.find(option);
  return found == lists.end() ? std::vector<std::string>() : found->second;
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

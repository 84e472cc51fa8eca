// A command's arguments, parsed into options and operands.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "pack/cli/usage_error.h"

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

// The files a command line names.
#pragma once

#include <filesystem>
#include <string>

#include "pack/cli/command_line.h"

// The file named by a command-line argument. "-" is refused with a UsageError: the tool seeks in
// its inputs and outputs, so the standard input or output cannot stand for them.
std::filesystem::path FileArgument(const std::string& text, const std::string& what);

// The one FILE operand of inspect, verify and extract; a UsageError when there is none or more.
std::string FileOperand(const CommandLine& line);

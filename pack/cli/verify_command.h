// The verify command: checks a launcher file against the rules.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunVerify(const CommandLine& line, std::ostream& out, std::ostream& err);

// The inspect command: reports what a launcher file holds.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunInspect(const CommandLine& line, std::ostream& out, std::ostream& err);

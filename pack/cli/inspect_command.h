// The inspect command: a launcher file read as the launcher reads it, and shown.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunInspect(const CommandLine& line, std::ostream& out, std::ostream& err);

// The verify command: a launcher file checked against every rule the launcher relies on.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunVerify(const CommandLine& line, std::ostream& out, std::ostream& err);

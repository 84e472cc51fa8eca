// The extract command: the two embedded files written out under their stored names and times.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunExtract(const CommandLine& line, std::ostream& out, std::ostream& err);

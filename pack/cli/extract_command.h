// The extract command: writes a launcher file's embedded files out.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunExtract(const CommandLine& line, std::ostream& out, std::ostream& err);

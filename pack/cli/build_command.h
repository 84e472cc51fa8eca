// The build command: writes a launcher file from a stub, an installer and perhaps a package.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunBuild(const CommandLine& line, std::ostream& out, std::ostream& err);

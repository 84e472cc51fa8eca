// The build command: a launcher file written from the launcher, an installer and its package.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunBuild(const CommandLine& line, std::ostream& out, std::ostream& err);

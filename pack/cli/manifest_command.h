// The manifest command: a package manager's (winget's) manifests for a launcher file.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunManifest(const CommandLine& line, std::ostream& out, std::ostream& err);

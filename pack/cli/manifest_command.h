// The manifest command: writes package manifests for a launcher file.
#pragma once

#include <ostream>

#include "pack/cli/command_line.h"

int RunManifest(const CommandLine& line, std::ostream& out, std::ostream& err);

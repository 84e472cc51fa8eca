// Doubts about the two embedded files that do not stop a build: the launcher copies them out as
// they are, but an empty file, an installer that is no program or a package that is no Windows
// Installer file is almost always a mistake (a swapped option, a failed earlier build step).
#pragma once

#include <string>
#include <vector>

#include "pack/io/input_file.h"

// One sentence per doubt, naming the file; empty when both look right.
std::vector<std::string> PayloadWarnings(InputFile& installer, InputFile& package);

// The SHA-256 of a whole file, the digest winget, Chocolatey and Intune publish for an installer.
#pragma once

#include <string>

#include "pack/io/input_file.h"

// In lower-case hex digits, read from start to end in large pieces.
std::string Sha256OfFile(InputFile& file);

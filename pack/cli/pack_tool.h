// The pack tool's entry, shared by the real program (main_posix.cpp, main_win32.cpp) and the
// tests: which command runs, its messages, its exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs one command. `args` are the arguments after the program name, in UTF-8. The requested
// output (inspect's report, help) goes to `out`, every message to `err`. Never throws.
int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

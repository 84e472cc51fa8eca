// The launcher's own command line: everything after its program name goes to the installer.
#pragma once

#include <cstddef>

// The part of `commandLine` after the program name, exactly as it stands, quotes and all; null
// when nothing but blanks follows the name (or `commandLine` is null). The program name is skipped
// the way the system splits a command line: one that begins with a quote runs to the next quote,
// which is skipped too; any other runs to the first space or tab. The spaces and tabs after it
// separate it from the arguments and are not part of them.
const char16_t* ArgumentsAfterProgramName(const char16_t* commandLine);

// The longest command line a program can be started with: 32,767 units with its terminator.
constexpr size_t kLongestCommandLine = 32766;

// Whether a program at a path of `programPathLength` units can be started with `arguments` (null:
// none) whole. The shell starts it with the path in quotes, then a space and the arguments; a
// longer line would be refused, or cut short where the platform does not refuse it.
bool CommandLineFits(size_t programPathLength, const char16_t* arguments);

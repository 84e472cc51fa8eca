// One argument of a Windows command line, quoted so that the C runtime's parser (and
// CommandLineToArgvW) gives it back unchanged: in double quotes, each quote escaped, and
// backslashes doubled only where they stand before a quote.
#pragma once

#include <string>

std::wstring QuotedArgument(const std::wstring& argument);

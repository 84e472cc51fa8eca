#include "launch/command_line.h"

static bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

const char16_t* ArgumentsAfterProgramName(const char16_t* commandLine) {
  if (!commandLine) return nullptr;
  const char16_t* p = commandLine;
  if (*p == u'"') {
    ++p;
    while (*p && *p != u'"') ++p;
    if (*p == u'"') ++p;
  } else {
    while (*p && !IsBlank(*p)) ++p;
  }
  while (IsBlank(*p)) ++p;
  return *p ? p : nullptr;
}

bool CommandLineFits(size_t programPathLength, const char16_t* arguments) {
  if (programPathLength > kLongestCommandLine - 2) return false;
  size_t length = programPathLength + 2;  // in quotes
  if (!arguments) return true;
  ++length;  // the space; counted on without a library call, and never far past the limit
  for (const char16_t* p = arguments; *p; ++p) {
    if (++length > kLongestCommandLine) return false;
  }
  return length <= kLongestCommandLine;
}

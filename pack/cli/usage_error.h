// The error for a command line the tool cannot make sense of: the message ends with a pointer to
// the command's --help, and the exit code is kExitUsageOrInput.
#pragma once

#include <stdexcept>

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

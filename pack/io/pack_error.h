// The pack tool's failures: a message for the user, naming the file and the problem. Thrown deep
// inside a command, caught once by the command line and turned into a message and an exit code.
#pragma once

#include <stdexcept>
#include <string>

class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

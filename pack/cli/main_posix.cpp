// The pack tool's entry on Linux and other POSIX hosts: the arguments are UTF-8 already.
#include <iostream>

#include "pack/cli/pack_exit_codes.h"
#include "pack/cli/pack_tool.h"

int main(int argc, char** argv) {
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunPackTool(args, std::cout, std::cerr);
  } catch (...) {  // only running out of memory gets here
    std::cerr << "vossimere-pack: out of memory\n";
    return kExitUsageOrInput;
  }
}

// The pack tool's entry on Windows: wmain receives the command line as UTF-16, so names in any
// script (Japanese ones included) reach the tool intact whatever the console's code page.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "pack/cli/command_line.h"
#include "pack/text/utf.h"

// Output is UTF-8 with plain line feeds: the console is told so, and the C runtime must not
// translate "\n" in JSON that scripts read.
static void UseUtf8Output() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

static int RunWithWideArguments(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::u16string wide(argv[i], argv[i] + wcslen(argv[i]));
    std::string utf8 = Utf16ToUtf8(wide);
    if (Utf8ToUtf16(utf8) != wide) {
      std::cerr << "vossimere-pack: argument " << i << " holds an unpaired surrogate\n";
      return kExitUsageOrInput;
    }
    args.push_back(utf8);
  }
  return RunPackTool(args, std::cout, std::cerr);
}

int wmain(int argc, wchar_t** argv) {
  UseUtf8Output();
  try {
    return RunWithWideArguments(argc, argv);
  } catch (...) {  // only running out of memory gets here
    std::cerr << "vossimere-pack: out of memory\n";
    return kExitUsageOrInput;
  }
}

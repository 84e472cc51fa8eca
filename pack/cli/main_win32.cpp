// The pack tool's entry on Windows: wmain receives the command line as UTF-16, so names in any
// script (Japanese ones included) reach the tool intact whatever the console's code page; its
// output reaches a console as UTF-16 and a file or pipe as UTF-8 (console_stream_win32.h).
#include <windows.h>

#include <iostream>
#include <ostream>

#include "pack/cli/console_stream_win32.h"
#include "pack/cli/pack_exit_codes.h"
#include "pack/cli/pack_tool.h"
#include "pack/text/utf.h"

static int RunWithWideArguments(int argc, wchar_t** argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::u16string wide(argv[i], argv[i] + wcslen(argv[i]));
    std::string utf8 = Utf16ToUtf8(wide);
    if (Utf8ToUtf16(utf8) != wide) {
      err << "vossimere-pack: argument " << i << " holds an unpaired surrogate\n";
      return kExitUsageOrInput;
    }
    args.push_back(utf8);
  }
  return RunPackTool(args, out, err);
}

int wmain(int argc, wchar_t** argv) {
  ConsoleStreamBuf outBuffer(STD_OUTPUT_HANDLE);
  ConsoleStreamBuf errBuffer(STD_ERROR_HANDLE);
  std::ostream out(&outBuffer);
  std::ostream err(&errBuffer);
  try {
    return RunWithWideArguments(argc, argv, out, err);
  } catch (...) {  // only running out of memory gets here
    err << "vossimere-pack: out of memory\n";
    return kExitUsageOrInput;
  }
}

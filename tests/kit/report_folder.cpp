#include "tests/kit/report_folder.h"

#include "pack/text/utf.h"

bool ReportPathSurvives(const std::u16string& path, const AnsiForm& ansi) {
  // A unit the code page has no character for, or one it reads back as another (a lone surrogate
  // becomes U+FFFD), names another file; bytes other than the UTF-8 form name another file for a
  // program that hands GoogleTest UTF-8.
  return !ansi.usedDefaultChar && ansi.readBack == path && ansi.bytes == Utf16ToUtf8(path);
}

// Whether a folder can take the kit's programs' GoogleTest reports. GoogleTest opens the path of
// --gtest_output with the narrow fopen, which reads its bytes in the ANSI code page, and the path
// reaches GoogleTest in one of two forms: a program with a narrow main gets it from the C runtime
// in the ANSI code page, one with wmain hands GoogleTest its UTF-8 form (InitGoogleTest's wide
// overload). A path serves both only where its ANSI form reads back as the same path and is its
// UTF-8 form too: a path of ASCII characters, or any path where the ANSI code page is UTF-8.
// Portable, so the host build tests the decision.
#pragma once

#include <string>

// What the ANSI code page makes of a path: the bytes WideCharToMultiByte gives without best-fit
// characters, whether it used its default character for a unit it has none for, and the units
// MultiByteToWideChar reads those bytes back as.
struct AnsiForm {
  std::string bytes;
  bool usedDefaultChar = false;
  std::u16string readBack;
};

// Whether GoogleTest, given `path` (in UTF-16) whose ANSI form is `ansi`, opens that same path.
bool ReportPathSurvives(const std::u16string& path, const AnsiForm& ansi);

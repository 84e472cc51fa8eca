// Text stored in a Windows code page (a package's strings), converted to UTF-8 by the platform's
// own converter: glibc's iconv on Linux, MultiByteToWideChar on Windows. UTF-8 (65001) is read by
// the tool itself, the same on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class CodePageResult {
  kConverted,
  kInvalidBytes,  // the code page is known, but some bytes are not text in it: U+FFFD each
  kNoConverter,   // the platform cannot convert the code page: each byte beyond ASCII is U+FFFD
};

struct CodePageText {
  std::string utf8;
  CodePageResult result = CodePageResult::kConverted;
};

// Text of ASCII bytes only is the same in every code page and converted without asking the
// platform, so that a code page the platform lacks spoils only the texts that need it.
CodePageText CodePageToUtf8(uint32_t codePage, const char* bytes, size_t count);

// The platform's half: `bytes` hold at least one byte beyond ASCII; `codePage` is not 65001.
CodePageText PlatformCodePageToUtf8(uint32_t codePage, const char* bytes, size_t count);

// The name glibc's iconv knows a Windows code page by ("CP932", "ISO-8859-5", "KOI8-R"...).
std::string IconvCodePageName(uint32_t codePage);

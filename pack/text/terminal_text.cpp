#include "pack/text/terminal_text.h"

#include <cstdint>
#include <cstdio>

#include "pack/text/utf.h"

bool IsControlCharacter(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

bool IsUnsafeForTerminal(char32_t c) {
  return IsControlCharacter(c) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string TerminalText(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    char32_t c;
    size_t length = DecodeUtf8At(utf8, at, c);
    char escaped[8];
    if (length == 0) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<uint8_t>(utf8[at]));
      out += escaped;
      ++at;
      continue;
    }
    if (IsUnsafeForTerminal(c)) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out.append(utf8, at, length);
    }
    at += length;
  }
  return out;
}

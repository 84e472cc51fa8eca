#include "pack/text/json_text.h"

#include <cstdio>

#include "pack/text/utf.h"

namespace {

void AppendUnit(std::string& out, unsigned unit) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
  out += escaped;
}

}  // namespace

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t at = 0; at < utf8.size();) {
    char32_t c;
    size_t length = DecodeUtf8At(utf8, at, c);
    if (length == 0) {
      // A byte of a file name that is not UTF-8 (Linux allows any): written as the text reports
      // show it, so that the report stays JSON and names the same file as the text does.
      char shown[8];
      std::snprintf(shown, sizeof shown, "\\\\x%02x", static_cast<unsigned char>(utf8[at]));
      out += shown;
      ++at;
      continue;
    }
    at += length;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c < 0x10000) {
      AppendUnit(out, static_cast<unsigned>(c));
    } else {
      AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out + "\"";
}

std::string JsonFiletime(uint64_t filetime) { return "\"" + std::to_string(filetime) + "\""; }

#include "pack/text/terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The length of the well-formed UTF-8 sequence at `at` and its value, or 0.
size_t DecodeAt(const std::string& text, size_t at, char32_t& value) {
  uint8_t lead = static_cast<uint8_t>(text[at]);
  size_t length;
  char32_t smallest;
  if (lead < 0x80) {
    value = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, smallest = 0x80, value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, smallest = 0x800, value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, smallest = 0x10000, value = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    uint8_t next = static_cast<uint8_t>(text[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool IsUnsafeForTerminal(char32_t c) {
  return IsControl(c) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string TerminalText(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    char32_t c;
    size_t length = DecodeAt(utf8, at, c);
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

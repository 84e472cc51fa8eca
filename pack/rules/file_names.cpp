#include "pack/rules/file_names.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"

namespace {

constexpr size_t kLongestComponent = 255;  // UTF-16 units per path component

const char* const kDeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "CONIN$", "CONOUT$",
                                    "COM1", "COM2", "COM3", "COM4", "COM5",   "COM6",
                                    "COM7", "COM8", "COM9", "LPT1", "LPT2",   "LPT3",
                                    "LPT4", "LPT5", "LPT6", "LPT7", "LPT8",   "LPT9"};

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; }

std::string UnitCode(char16_t unit) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(unit));
  return text;
}

}  // namespace

// The device names are reserved with any extension ("nul.txt") and with trailing spaces before
// it; the superscript digits ¹²³ count as digits after COM and LPT.
std::optional<std::string> ReservedDeviceName(const std::u16string& name) {
  std::u16string stem = name.substr(0, name.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.pop_back();
  std::u16string upper;
  for (char16_t c : stem) upper += AsciiUpper(c);
  if (upper.size() == 4 && (upper.compare(0, 3, u"COM") == 0 || upper.compare(0, 3, u"LPT") == 0) &&
      (upper[3] == u'¹' || upper[3] == u'²' || upper[3] == u'³'))
    return Utf16ToUtf8(stem);
  for (const char* device : kDeviceNames) {
    std::u16string wide(device, device + std::char_traits<char>::length(device));
    if (upper == wide) return Utf16ToUtf8(stem);
  }
  return std::nullopt;
}

std::optional<std::string> FileNameProblem(const std::u16string& name) {
  if (name.empty()) return "is empty";
  if (name.size() > kLongestComponent)
    return "is longer than the 255 characters Windows allows in a file name";
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = name[i];
    if (c == u'/' || c == u'\\') return std::string("contains '") + char(c) + "', a path separator";
    if (IsControlCharacter(c)) return "contains the control character " + UnitCode(c);
    if (std::u16string_view(u"<>:\"|?*").find(c) != std::u16string_view::npos)
      return std::string("contains '") + char(c) + "', which Windows forbids in file names";
    bool high = c >= 0xD800 && c <= 0xDBFF;
    bool lowNext = i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF;
    if (high && lowNext) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return "contains the unpaired surrogate " + UnitCode(c);
    }
  }
  if (name.back() == u'.') return "ends with a dot, which Windows drops";
  if (name.back() == u' ') return "ends with a space, which Windows drops";
  if (std::optional<std::string> device = ReservedDeviceName(name))
    return "is the reserved device name " + *device;
  return std::nullopt;
}

bool SameFileName(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return UpperCaseUnit(x) == UpperCaseUnit(y); });
}

std::optional<std::string> TitleProblem(const std::u16string& title) {
  for (char16_t c : title)
    if (IsControlCharacter(c)) return "contains the control character " + UnitCode(c);
  return std::nullopt;
}

// UTF-8 on the command line and in the reports, UTF-16 in the trailer.
#pragma once

#include <optional>
#include <string>

// Nothing when `text` is not well-formed UTF-8 (overlong forms, surrogates and values beyond
// U+10FFFF included).
std::optional<std::u16string> Utf8ToUtf16(const std::string& text);

// Unpaired surrogates, which a trailer may hold, become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// UTF-8 on the command line and in the reports, UTF-16 in the trailer.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The length of the well-formed UTF-8 sequence at byte `at` of `text`, with its value in `value`;
// 0 when the bytes there are not one (overlong forms, surrogates, values beyond U+10FFFF, a cut
// sequence).
size_t DecodeUtf8At(const std::string& text, size_t at, char32_t& value);

// Nothing when `text` is not well-formed UTF-8 (overlong forms, surrogates and values beyond
// U+10FFFF included).
std::optional<std::u16string> Utf8ToUtf16(const std::string& text);

// Appends the UTF-8 form of the code point `c` (at most U+10FFFF) to `out`.
void AppendUtf8(std::string& out, char32_t c);

// Unpaired surrogates, which a trailer may hold, become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

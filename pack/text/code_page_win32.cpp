#include <windows.h>

#include "pack/text/code_page.h"
#include "pack/text/utf.h"

CodePageText PlatformCodePageToUtf8(uint32_t codePage, const char* bytes, size_t count) {
  CodePageText text;
  if (!IsValidCodePage(codePage) || count > 0x7FFFFFFF) {
    text.result = CodePageResult::kNoConverter;
    for (size_t i = 0; i < count; ++i) {
      unsigned char b = static_cast<unsigned char>(bytes[i]);
      AppendUtf8(text.utf8, b < 0x80 ? char32_t{b} : U'\uFFFD');
    }
    return text;
  }
  // First strictly, so that bytes the code page does not define are known; then as Windows shows
  // them, with its own replacement character.
  int length = static_cast<int>(count);
  DWORD flags = MB_ERR_INVALID_CHARS;
  int units = MultiByteToWideChar(codePage, flags, bytes, length, nullptr, 0);
  if (units == 0) {
    text.result = CodePageResult::kInvalidBytes;
    flags = 0;
    units = MultiByteToWideChar(codePage, flags, bytes, length, nullptr, 0);
  }
  std::u16string wide(static_cast<size_t>(units), u'\0');
  if (units > 0)
    MultiByteToWideChar(codePage, flags, bytes, length, reinterpret_cast<wchar_t*>(&wide[0]),
                        units);
  text.utf8 = Utf16ToUtf8(wide);
  return text;
}

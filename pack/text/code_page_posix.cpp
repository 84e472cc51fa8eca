#include <errno.h>
#include <iconv.h>

#include "pack/text/code_page.h"
#include "pack/text/utf.h"

CodePageText PlatformCodePageToUtf8(uint32_t codePage, const char* bytes, size_t count) {
  CodePageText text;
  iconv_t converter = iconv_open("UTF-8", IconvCodePageName(codePage).c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    text.result = CodePageResult::kNoConverter;
    for (size_t i = 0; i < count; ++i) {
      unsigned char b = static_cast<unsigned char>(bytes[i]);
      AppendUtf8(text.utf8, b < 0x80 ? char32_t{b} : U'\uFFFD');
    }
    return text;
  }
  // A byte the code page does not define (or a sequence cut at the end) becomes U+FFFD, and the
  // conversion goes on after it from the initial state.
  char* in = const_cast<char*>(bytes);
  size_t inLeft = count;
  char buffer[4096];
  while (true) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
    int error = done == static_cast<size_t>(-1) ? errno : 0;
    text.utf8.append(buffer, static_cast<size_t>(out - buffer));
    if (error == E2BIG) continue;
    if (error == EILSEQ || error == EINVAL) {
      text.result = CodePageResult::kInvalidBytes;
      AppendUtf8(text.utf8, U'\uFFFD');
      ++in;
      --inLeft;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
      continue;
    }
    break;  // all converted
  }
  iconv_close(converter);
  return text;
}

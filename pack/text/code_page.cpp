#include "pack/text/code_page.h"

#include "pack/text/utf.h"

namespace {

// Code pages whose iconv name is not "CP" and the number.
struct Named {
  uint32_t codePage;
  const char* name;
};
constexpr Named kNames[] = {
    {20127, "ASCII"},       {20866, "KOI8-R"},      {21866, "KOI8-U"},      {10000, "MACINTOSH"},
    {20932, "EUC-JP"},      {51932, "EUC-JP"},      {51936, "EUC-CN"},      {51949, "EUC-KR"},
    {52936, "HZ"},          {54936, "GB18030"},     {50220, "ISO-2022-JP"}, {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"}, {1361, "JOHAB"},        {20936, "GB2312"},
    {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
};

}  // namespace

std::string IconvCodePageName(uint32_t codePage) {
  for (const Named& n : kNames)
    if (n.codePage == codePage) return n.name;
  if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
  return "CP" + std::to_string(codePage);
}

CodePageText CodePageToUtf8(uint32_t codePage, const char* bytes, size_t count) {
  CodePageText text;
  bool ascii = true;
  for (size_t i = 0; i < count && ascii; ++i) ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
  if (ascii) {
    text.utf8.assign(bytes, count);
    return text;
  }
  if (codePage != 65001) return PlatformCodePageToUtf8(codePage, bytes, count);
  std::string raw(bytes, count);
  for (size_t at = 0; at < raw.size();) {
    char32_t c;
    size_t length = DecodeUtf8At(raw, at, c);
    if (!length) text.result = CodePageResult::kInvalidBytes;
    AppendUtf8(text.utf8, length ? c : U'\uFFFD');
    at += length ? length : 1;
  }
  return text;
}

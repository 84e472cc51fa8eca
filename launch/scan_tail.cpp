#include "launch/scan_tail.h"

WideString ReadPackedString(const uint8_t* buffer, int32_t n, int32_t& pos) {
  int32_t start = pos;
  while (pos < n - 1) {
    bool terminator = buffer[pos] == 0 && buffer[pos + 1] == 0;
    pos += 2;
    if (terminator) {
      WideString text;
      int32_t count = (pos - 2 - start) / 2;
      for (int32_t i = 0; i < count; ++i) {
        const uint8_t* unit = buffer + start + 2 * i;
        text.Append(static_cast<char16_t>(unit[0] | unit[1] << 8));
      }
      return text;
    }
  }
  return WideString();
}

static int32_t FirstAnchor(const uint8_t* buffer, int32_t n) {
  for (int32_t off = 0; off <= n - kAnchorRecordSize; off += kAnchorAlignment) {
    if (HasAnchorMagics(buffer + off)) return off;
  }
  return kNoMatch;
}

int32_t ScanTail(const uint8_t* buffer, int32_t n, int32_t windowStart, PayloadNames& names,
                 AnchorRecord& record, int32_t* firstMatch) {
  int32_t off = FirstAnchor(buffer, n);
  if (firstMatch) *firstMatch = off;
  if (off == kNoMatch) return kNoMatch;

  int32_t pos = off + kAnchorRecordSize;
  names.title = ReadPackedString(buffer, n, pos);
  names.folderName = ReadPackedString(buffer, n, pos);
  names.installerName = ReadPackedString(buffer, n, pos);
  names.packageName = ReadPackedString(buffer, n, pos);

  bool anyEmpty = names.title.Empty() || names.folderName.Empty() || names.installerName.Empty() ||
                  names.packageName.Empty();
  if (anyEmpty || windowStart + off == 0) return kRecordRefused;

  record = DecodeAnchorRecord(buffer + off);
  return off;
}

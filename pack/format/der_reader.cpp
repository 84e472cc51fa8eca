#include "pack/format/der_reader.h"

#include <cstring>

std::optional<DerElement> DerReader::Next() {
  if (failed_ || left_ == 0) return std::nullopt;
  failed_ = true;  // until the element proves whole
  if (left_ < 2) return std::nullopt;
  const uint8_t tag = at_[0];
  if ((tag & 0x1F) == 0x1F) return std::nullopt;  // a tag number of more than one byte
  size_t header = 2;
  uint64_t length = at_[1];
  if (length >= 0x80) {
    // The long form: 1 to 4 length bytes. 0x80 alone is BER's indefinite length, not DER.
    const size_t count = at_[1] & 0x7F;
    if (count == 0 || count > 4 || left_ < 2 + count) return std::nullopt;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = length << 8 | at_[2 + i];
    header += count;
  }
  if (length > left_ - header) return std::nullopt;
  DerElement element;
  element.tag = tag;
  element.whole = at_;
  element.content = at_ + header;
  element.length = static_cast<size_t>(length);
  element.wholeLength = header + element.length;
  at_ += element.wholeLength;
  left_ -= element.wholeLength;
  failed_ = false;
  return element;
}

std::optional<DerElement> DerReader::NextIf(uint8_t tag) {
  if (failed_ || left_ == 0 || at_[0] != tag) return std::nullopt;
  return Next();
}

bool IsOid(const DerElement& element, const uint8_t* oid, size_t size) {
  return element.tag == kDerOid && element.length == size &&
         std::memcmp(element.content, oid, size) == 0;
}

std::string OidText(const DerElement& oid) {
  if (oid.tag != kDerOid || oid.length == 0) return "";
  std::string text;
  uint64_t arc = 0;
  bool first = true;
  for (size_t i = 0; i < oid.length; ++i) {
    if (arc >> 57 != 0) return "";  // another 7 bits would not fit
    arc = arc << 7 | (oid.content[i] & 0x7F);
    if (oid.content[i] & 0x80) continue;
    if (first) {
      // The first byte holds two arcs: 40 * X + Y, X at most 2.
      const uint64_t top = arc < 80 ? arc / 40 : 2;
      text = std::to_string(top) + "." + std::to_string(arc - 40 * top);
      first = false;
    } else {
      text += "." + std::to_string(arc);
    }
    arc = 0;
  }
  if (oid.content[oid.length - 1] & 0x80) return "";
  return text;
}

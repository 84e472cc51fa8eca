// Reading DER (X.690's distinguished encoding), as far as a PKCS #7 signature needs it: one
// element after another, each with its tag and the bounds of its content. Definite lengths only,
// of at most 4 bytes, and single-byte tags; anything else, or an element that runs past what holds
// it, ends the reading. Platform-free and bounded: never reads outside the bytes it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Tags of the universal class, and the context-specific ones a signature uses.
constexpr uint8_t kDerInteger = 0x02;
constexpr uint8_t kDerOctetString = 0x04;
constexpr uint8_t kDerOid = 0x06;
constexpr uint8_t kDerUtf8String = 0x0C;
constexpr uint8_t kDerPrintableString = 0x13;
constexpr uint8_t kDerT61String = 0x14;
constexpr uint8_t kDerIa5String = 0x16;
constexpr uint8_t kDerUniversalString = 0x1C;
constexpr uint8_t kDerBmpString = 0x1E;
constexpr uint8_t kDerSequence = 0x30;
constexpr uint8_t kDerSet = 0x31;
constexpr uint8_t kDerContext0 = 0xA0;  // [0], constructed
constexpr uint8_t kDerContext1 = 0xA1;  // [1], constructed

struct DerElement {
  uint8_t tag = 0;
  const uint8_t* content = nullptr;
  size_t length = 0;               // of the content
  const uint8_t* whole = nullptr;  // where the element starts: its tag
  size_t wholeLength = 0;          // tag, length and content
};

// The elements of one level, in order. Once an element cannot be read, Next gives nothing and
// Failed says so; a reader that reached the end of its bytes cleanly is AtEnd.
class DerReader {
 public:
  DerReader(const uint8_t* bytes, size_t size) : at_(bytes), left_(size) {}
  explicit DerReader(const DerElement& constructed)
      : DerReader(constructed.content, constructed.length) {}

  std::optional<DerElement> Next();
  // The next element, only when it has the tag `tag`; otherwise nothing, and nothing is consumed.
  std::optional<DerElement> NextIf(uint8_t tag);
  bool AtEnd() const { return left_ == 0 && !failed_; }
  bool Failed() const { return failed_; }

 private:
  const uint8_t* at_;
  size_t left_;
  bool failed_ = false;
};

// Whether `element` is the OBJECT IDENTIFIER whose content bytes are `oid` (`size` of them).
bool IsOid(const DerElement& element, const uint8_t* oid, size_t size);
template <size_t N>
bool IsOid(const DerElement& element, const uint8_t (&oid)[N]) {
  return IsOid(element, oid, N);
}

// An OBJECT IDENTIFIER's content in dotted form ("1.2.840.113549.1.7.2"); "" when it is not a
// well-formed one (an arc longer than 64 bits, a cut last arc).
std::string OidText(const DerElement& oid);

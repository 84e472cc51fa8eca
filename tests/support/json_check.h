// A strict JSON reader for the reports' tests and the fuzz targets: exactly one JSON value (then
// only whitespace), strings in well-formed UTF-8 with every \u escape complete and every
// surrogate escape in its pair, as a strict parser (Python's json with its surrogate check,
// PowerShell's ConvertFrom-Json) would take it.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "tests/support/well_formed_utf8.h"

class JsonCheck {
 public:
  explicit JsonCheck(const std::string& text) : s_(text) {}
  bool Whole() {
    Space();
    if (!Value()) return false;
    Space();
    return i_ == s_.size();
  }

 private:
  bool Value() {
    if (++depth_ > 64) return false;
    bool ok = Peek('{')   ? Object()
              : Peek('[') ? Array()
              : Peek('"') ? String()
                          : Word("true") || Word("false") || Word("null") || Number();
    --depth_;
    return ok;
  }
  bool Object() {
    ++i_;
    Space();
    if (Take('}')) return true;
    do {
      Space();
      if (!String()) return false;
      Space();
      if (!Take(':')) return false;
      Space();
      if (!Value()) return false;
      Space();
    } while (Take(','));
    return Take('}');
  }
  bool Array() {
    ++i_;
    Space();
    if (Take(']')) return true;
    do {
      Space();
      if (!Value()) return false;
      Space();
    } while (Take(','));
    return Take(']');
  }
  bool String() {
    if (!Take('"')) return false;
    bool wantLow = false;  // the last escape was a high surrogate
    while (i_ < s_.size()) {
      unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') return ++i_, !wantLow;
      if (c < 0x20) return false;
      if (c == '\\') {
        ++i_;
        if (i_ >= s_.size()) return false;
        char e = s_[i_++];
        if (e == 'u') {
          uint32_t unit = 0;
          for (int k = 0; k < 4; ++k, ++i_) {
            if (i_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[i_]))) return false;
            char digit = static_cast<char>(std::tolower(static_cast<unsigned char>(s_[i_])));
            unit = unit << 4 | static_cast<uint32_t>(digit <= '9' ? digit - '0' : digit - 'a' + 10);
          }
          bool low = unit >= 0xDC00 && unit <= 0xDFFF;
          if (low != wantLow) return false;
          wantLow = unit >= 0xD800 && unit <= 0xDBFF;
          continue;
        }
        if (wantLow || !std::strchr("\"\\/bfnrt", e)) return false;
      } else if (wantLow || !Utf8Character()) {
        return false;
      }
    }
    return false;
  }
  bool Utf8Character() {
    size_t length = Utf8SequenceAt(s_, i_);
    i_ += length;
    return length != 0;
  }
  bool Number() {
    size_t start = i_;
    Take('-');
    if (Take('0')) {
    } else if (!Digits()) {
      return false;
    }
    if (Take('.') && !Digits()) return false;
    if ((Take('e') || Take('E')) && (Take('+') || Take('-') || true) && !Digits()) return false;
    return i_ > start;
  }
  bool Digits() {
    size_t start = i_;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return i_ > start;
  }
  bool Word(const char* word) {
    size_t length = std::strlen(word);
    if (s_.compare(i_, length, word) != 0) return false;
    i_ += length;
    return true;
  }
  void Space() {
    while (i_ < s_.size() && std::strchr(" \t\r\n", s_[i_]) && s_[i_] != 0) ++i_;
  }
  bool Peek(char c) const { return i_ < s_.size() && s_[i_] == c; }
  bool Take(char c) {
    if (!Peek(c)) return false;
    ++i_;
    return true;
  }

  const std::string& s_;
  size_t i_ = 0;
  int depth_ = 0;
};

// Whether `text` holds printable ASCII and line ends only.
inline bool PureAscii(const std::string& text) {
  for (char c : text)
    if ((c < 0x20 || c > 0x7E) && c != '\n') return false;
  return true;
}

// The launcher's one string type: a growable run of UTF-16 code units, always terminated.
//
// It never throws. When memory runs out an operation returns false and leaves the string as it
// was, so a name or path that could not be built shows up as an empty or short string at the next
// step instead of ending the process.
#pragma once

#include <cstddef>

class WideString {
 public:
  WideString() = default;
  WideString(const char16_t* units, size_t length) { Assign(units, length); }
  WideString(WideString&& other) noexcept;
  WideString& operator=(WideString&& other) noexcept;
  WideString(const WideString&) = delete;
  WideString& operator=(const WideString&) = delete;
  ~WideString();

  bool Assign(const char16_t* units, size_t length);
  bool Append(const char16_t* units, size_t length);
  bool Append(const WideString& other) { return Append(other.Data(), other.Length()); }
  bool Append(char16_t unit) { return Append(&unit, 1); }

  // Never null: an empty string gives a pointer to a lone terminator.
  const char16_t* Data() const { return units_ ? units_ : u""; }
  size_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  char16_t operator[](size_t index) const { return units_[index]; }

 private:
  char16_t* units_ = nullptr;
  size_t length_ = 0;
  size_t capacity_ = 0;  // units, terminator not counted
};

// Length of a terminated UTF-16 text, without the terminator.
size_t UnitCount(const char16_t* text);

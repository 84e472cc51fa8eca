#include "launch/wide_string.h"

#include <cstring>

#include "launch/heap.h"

WideString::WideString(WideString&& other) noexcept
    : units_(other.units_), length_(other.length_), capacity_(other.capacity_) {
  other.units_ = nullptr;
  other.length_ = 0;
  other.capacity_ = 0;
}

WideString& WideString::operator=(WideString&& other) noexcept {
  if (this != &other) {
    ReleaseBlock(units_);
    units_ = other.units_;
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.units_ = nullptr;
    other.length_ = 0;
    other.capacity_ = 0;
  }
  return *this;
}

WideString::~WideString() { ReleaseBlock(units_); }

bool WideString::Assign(const char16_t* units, size_t length) {
  length_ = 0;
  if (units_) units_[0] = 0;
  return Append(units, length);
}

bool WideString::Append(const char16_t* units, size_t length) {
  size_t needed = length_ + length;
  if (needed < length_) return false;
  if (needed > capacity_) {
    size_t grown = capacity_ * 2 > needed ? capacity_ * 2 : needed;
    void* bigger = ResizeBlock(units_, (grown + 1) * sizeof(char16_t));
    if (!bigger) return false;
    units_ = static_cast<char16_t*>(bigger);
    capacity_ = grown;
  }
  if (!units_) return true;  // nothing to hold yet: still the empty string
  if (length) std::memmove(units_ + length_, units, length * sizeof(char16_t));
  length_ = needed;
  units_[length_] = 0;
  return true;
}

size_t UnitCount(const char16_t* text) {
  size_t count = 0;
  while (text[count]) ++count;
  return count;
}

// The launcher's strings are UTF-16 code units; on Windows they are handed to the W functions as
// they are (wchar_t is 16 bits there).
#pragma once

#include <windows.h>

#include "launch/wide_string.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline LPCWSTR AsWide(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }
inline LPCWSTR AsWide(const WideString& text) { return AsWide(text.Data()); }
inline const char16_t* AsUnits(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}

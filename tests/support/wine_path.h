// A path as the build and the bench pass it to a Windows program under Wine: a Linux path is
// reached through Wine's Z: drive, with its separators made backslashes.
#pragma once

#include <string>

inline std::wstring WindowsPathOf(std::wstring path) {
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& unit : path) {
    if (unit == L'/') unit = L'\\';
  }
  return path;
}

// Small helpers that let tests compare the launcher's strings with std::u16string literals.
#pragma once

#include <string>

#include "launch/wide_string.h"

inline std::u16string Text(const WideString& s) { return std::u16string(s.Data(), s.Length()); }

inline WideString Wide(const std::u16string& s) { return WideString(s.data(), s.size()); }

// A FILETIME as one number: 100 ns intervals (since 1601-01-01 UTC for a point in time).
#pragma once

#include <windows.h>

#include <cstdint>

inline int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<int64_t>(uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
}

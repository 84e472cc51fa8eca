// The Windows error codes (winerror.h) the portable decisions tell apart, as plain numbers so that
// they are tested on any host; held_step_win32.cpp checks them against the system's own.
#pragma once

#include <cstdint>

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;
constexpr uint32_t kErrorDirNotEmpty = 145;

// SOURCE_DATE_EPOCH, the reproducible-builds convention: seconds since 1970-01-01 UTC, normally
// the time of the last commit. A default time taken from an input file's modification time is
// clamped to it, so a fresh checkout (every file touched anew) builds the same launcher file.
#pragma once

#include <cstdint>
#include <optional>

// The variable's value as a FILETIME; nothing when `value` is null or empty. Throws PackError
// when it is not a plain non-negative decimal number of seconds up to the year 9999.
std::optional<uint64_t> SourceDateFiletime(const char* value);

// `time`, or `limit` when that is earlier.
uint64_t ClampToSourceDate(uint64_t time, std::optional<uint64_t> limit);

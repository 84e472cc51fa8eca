// Time stamps as the trailer stores them (FILETIME: 100-nanosecond intervals since 1601-01-01
// UTC) and as people write them (ISO 8601).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

constexpr uint64_t kFiletimeTicksPerSecond = 10000000;
constexpr int64_t kFiletimeUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

// Accepts YYYY-MM-DDThh:mm:ss with an optional fraction of up to 7 digits and a required zone,
// "Z" or ±hh:mm (±hhmm too); a space may stand for the T. Instants from 1601 to 9999 in UTC, so
// that FormatIsoTime can write every accepted time back. Nothing when the
// text is not such a time; a time without a zone is refused, since it would name a different
// instant on every machine.
std::optional<uint64_t> ParseIsoTime(const std::string& text);

// UTC, "YYYY-MM-DDThh:mm:ssZ", with the fraction of a second when there is one (trailing zeros
// dropped), so that ParseIsoTime gives back the same value. Beyond the year 9999: empty.
std::string FormatIsoTime(uint64_t filetime);

// A FILETIME from seconds and nanoseconds since 1970-01-01 UTC (nanoseconds truncated to 100 ns
// steps); nothing for instants before 1601.
std::optional<uint64_t> FiletimeFromUnix(int64_t seconds, uint32_t nanoseconds);

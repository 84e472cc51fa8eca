#include "pack/text/iso_time.h"

#include <cstdio>

namespace {

constexpr uint64_t kLatestIsoFiletime = 2650467743999999999ull;  // 9999-12-31T23:59:59.9999999Z

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the civil-calendar algorithms
// by era of 400 years).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

// Reads exactly `width` digits at `pos`.
bool Digits(const std::string& text, size_t& pos, size_t width, unsigned& value) {
  if (pos + width > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < width; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  pos += width;
  return true;
}

bool Expect(const std::string& text, size_t& pos, const char* choices) {
  if (pos >= text.size()) return false;
  for (const char* c = choices; *c; ++c) {
    if (text[pos] == *c) {
      ++pos;
      return true;
    }
  }
  return false;
}

// The zone designator's offset from UTC in minutes.
bool ZoneOffset(const std::string& text, size_t& pos, int& minutes) {
  if (pos < text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
    ++pos;
    minutes = 0;
    return true;
  }
  if (pos >= text.size() || (text[pos] != '+' && text[pos] != '-')) return false;
  int sign = text[pos++] == '-' ? -1 : 1;
  unsigned hh, mm;
  if (!Digits(text, pos, 2, hh)) return false;
  if (pos < text.size() && text[pos] == ':') ++pos;
  if (!Digits(text, pos, 2, mm) || hh > 23 || mm > 59) return false;
  minutes = sign * static_cast<int>(hh * 60 + mm);
  return true;
}

}  // namespace

std::optional<uint64_t> FiletimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  if (seconds < -kFiletimeUnixEpochSeconds) return std::nullopt;
  return static_cast<uint64_t>(seconds + kFiletimeUnixEpochSeconds) * kFiletimeTicksPerSecond +
         nanoseconds / 100;
}

std::optional<uint64_t> ParseIsoTime(const std::string& text) {
  size_t pos = 0;
  unsigned year, month, day, hour, minute, second;
  if (!Digits(text, pos, 4, year) || !Expect(text, pos, "-") || !Digits(text, pos, 2, month) ||
      !Expect(text, pos, "-") || !Digits(text, pos, 2, day) || !Expect(text, pos, "Tt ") ||
      !Digits(text, pos, 2, hour) || !Expect(text, pos, ":") || !Digits(text, pos, 2, minute) ||
      !Expect(text, pos, ":") || !Digits(text, pos, 2, second))
    return std::nullopt;
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59)
    return std::nullopt;
  uint64_t ticks = 0;
  if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
    ++pos;
    size_t digits = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, ++digits) {
      if (digits == 7) return std::nullopt;  // finer than a FILETIME can hold
      ticks = ticks * 10 + static_cast<uint64_t>(text[pos] - '0');
    }
    if (digits == 0) return std::nullopt;
    for (; digits < 7; ++digits) ticks *= 10;
  }
  int zoneMinutes;
  if (!ZoneOffset(text, pos, zoneMinutes) || pos != text.size()) return std::nullopt;
  int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                    int64_t{zoneMinutes} * 60;
  std::optional<uint64_t> whole = FiletimeFromUnix(seconds, 0);
  if (!whole || *whole + ticks > kLatestIsoFiletime) return std::nullopt;
  return *whole + ticks;
}

std::string FormatIsoTime(uint64_t filetime) {
  int64_t seconds =
      static_cast<int64_t>(filetime / kFiletimeTicksPerSecond) - kFiletimeUnixEpochSeconds;
  unsigned ticks = static_cast<unsigned>(filetime % kFiletimeTicksPerSecond);
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  int64_t inDay = seconds - days * 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  if (y > 9999) return std::string();
  char text[48];
  int length = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d",
                             static_cast<int>(y), m, d, static_cast<int>(inDay / 3600),
                             static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
  std::string out(text, static_cast<size_t>(length));
  if (ticks) {
    std::snprintf(text, sizeof text, ".%07u", ticks);
    std::string fraction(text);
    while (fraction.back() == '0') fraction.pop_back();
    out += fraction;
  }
  return out + "Z";
}

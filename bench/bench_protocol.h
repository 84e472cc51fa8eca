// What the bench driver and the programs it starts agree on, and how the bench's Windows programs
// report to bench/run. The driver steers the programs it starts through the environment, which
// the launcher passes on to the installer it starts.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tests/support/installer_protocol.h"

// Full path of a file the bench installer writes when it starts, as decimal text separated by
// spaces: its performance-counter reading at entry, the size in bytes of the package beside it,
// and its process's creation time (a FILETIME, as GetProcessTimes gives it).
constexpr wchar_t kStampPathVariable[] = L"VOSSIMERE_BENCH_STAMP";
// File name of the package beside the bench installer whose size it reports.
constexpr wchar_t kPackageNameVariable[] = L"VOSSIMERE_BENCH_PACKAGE";
// The held program is steered as the end-to-end suite's fake installer is
// (tests/support/installer_protocol.h): it sets the started event once it runs, waits for the
// release event, and ends with the exit code asked for.

// One figure line for bench/run: a JSON object on one line of standard output, its "kind" first
// ("start-pair", "memory", "copy"...), then its fields in the order added. bench/run reads every
// line as JSON, so a figure is never scraped out of text. Times are given in ms to the
// microsecond; a time that is not a number (a run that never got there) is null.
class JsonLine {
 public:
  explicit JsonLine(const char* kind) {
    text_ = "{\"kind\":";
    AppendString(kind);
  }
  JsonLine& Number(const char* key, double value, int decimals = 3) {
    Key(key);
    if (!std::isfinite(value)) {
      text_ += "null";
      return *this;
    }
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.*f", decimals, value);
    text_ += digits;
    return *this;
  }
  JsonLine& Whole(const char* key, long long value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
  }
  JsonLine& Bool(const char* key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
  }
  // `utf8` as a JSON string; bytes that are not UTF-8 pass through and are replaced by the reader.
  JsonLine& Text(const char* key, const std::string& utf8) {
    Key(key);
    AppendString(utf8);
    return *this;
  }
  // `json`, a JSON value another program printed, as it is.
  JsonLine& Raw(const char* key, const std::string& json) {
    Key(key);
    text_ += json;
    return *this;
  }
  std::string Line() const { return text_ + "}\n"; }
  // Writes the line and flushes it, so a driver that dies later has still reported this run.
  void Print() const {
    std::fputs(Line().c_str(), stdout);
    std::fflush(stdout);
  }

 private:
  void Key(const char* key) {
    if (!first_) text_ += ',';
    first_ = false;
    AppendString(key);
    text_ += ':';
  }
  void AppendString(const std::string& text) {
    text_ += '"';
    for (unsigned char c : text) {
      if (c == '"' || c == '\\') {
        text_ += '\\';
        text_ += static_cast<char>(c);
      } else if (c < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        text_ += escaped;
      } else {
        text_ += static_cast<char>(c);
      }
    }
    text_ += '"';
  }

  std::string text_;
  bool first_ = false;
};

// What the bench driver and the programs it starts agree on, and how the bench's Windows programs
// report to bench/run. The driver steers the programs it starts through the environment, which
// the launcher passes on to the installer it starts.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "pack/text/json_text.h"
#include "tests/support/installer_protocol.h"

// Full path of a file the bench installer writes when it starts, as decimal text separated by
// spaces: its performance-counter reading at entry, the size in bytes of the package beside it,
// and its process's creation time (a FILETIME, as GetProcessTimes gives it).
constexpr wchar_t kStampPathVariable[] = L"VOSSIMERE_BENCH_STAMP";
// File name of the package beside the bench installer whose size it reports.
constexpr wchar_t kPackageNameVariable[] = L"VOSSIMERE_BENCH_PACKAGE";
// The held program is steered as the end-to-end suite's fake installer is
// (tests/support/installer_protocol.h): it sets the started event once it runs, waits for the
// release event, and ends.

// One figure line for bench/run: a JSON object on one line of standard output, its "kind" first
// ("start-pair", "memory", "copy"...), then its fields in the order added. bench/run reads every
// line as JSON, so a figure is never scraped out of text. Times are given in ms to the
// microsecond; a time that is not a number (a run that never got there) is null.
class JsonLine {
 public:
  explicit JsonLine(const char* kind) : text_("{\"kind\":" + JsonString(kind)) {}
  JsonLine& Number(const char* key, double value, int decimals = 3) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.*f", decimals, value);
    return Raw(key, std::isfinite(value) ? digits : "null");
  }
  JsonLine& Whole(const char* key, long long value) { return Raw(key, std::to_string(value)); }
  JsonLine& Bool(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }
  // `utf8` as a JSON string, escaped as the pack tool's reports escape it (pack/text/json_text.h).
  JsonLine& Text(const char* key, const std::string& utf8) { return Raw(key, JsonString(utf8)); }
  // `json`, a JSON value (or one another program printed), as it is.
  JsonLine& Raw(const char* key, const std::string& json) {
    text_ += "," + JsonString(key) + ":" + json;
    return *this;
  }
  std::string Line() const { return text_ + "}\n"; }
  // Writes the line and flushes it, so a driver that dies later has still reported this run.
  void Print() const {
    std::fputs(Line().c_str(), stdout);
    std::fflush(stdout);
  }

 private:
  std::string text_;
};

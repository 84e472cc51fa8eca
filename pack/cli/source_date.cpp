#include "pack/cli/source_date.h"

#include <string>

#include "pack/io/pack_error.h"
#include "pack/text/iso_time.h"

std::optional<uint64_t> SourceDateFiletime(const char* value) {
  if (!value || !*value) return std::nullopt;
  std::string text = value;
  const std::string refused = "SOURCE_DATE_EPOCH=\"" + text +
                              "\" is not a number of seconds since 1970-01-01 UTC (digits only, "
                              "up to the year 9999); set it to e.g. $(git log -1 --format=%ct) "
                              "or unset it";
  if (text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
    throw PackError(refused);
  std::optional<uint64_t> time = FiletimeFromUnix(std::stoll(text), 0);
  if (!time || FormatIsoTime(*time).empty()) throw PackError(refused);
  return time;
}

uint64_t ClampToSourceDate(uint64_t time, std::optional<uint64_t> limit) {
  return limit && *limit < time ? *limit : time;
}

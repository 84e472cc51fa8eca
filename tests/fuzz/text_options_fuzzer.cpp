// The pack tool's readers of what a publisher types: UTF-8 names, ISO 8601 times, file-name rules
// and the option parser.
//
// Input: one selector byte, then the text (or, for the UTF-16 direction, the units; for the
// option parser, arguments separated by zero bytes). Conversions must round-trip exactly, every
// accepted time must be written back as the same instant, and the parser must keep options and
// operands apart as declared.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "pack/cli/command_line.h"
#include "pack/rules/file_names.h"
#include "pack/text/iso_time.h"
#include "pack/text/utf.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/well_formed_utf8.h"

namespace {

bool Surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

void CheckUtf8Text(const std::string& text) {
  std::optional<std::u16string> units = Utf8ToUtf16(text);
  FUZZ_CHECK(units.has_value() == WellFormedUtf8(text));
  if (!units) return;
  FUZZ_CHECK(Utf16ToUtf8(*units) == text);
  for (size_t i = 0; i < units->size(); ++i) {  // surrogates come in pairs only
    char16_t unit = (*units)[i];
    FUZZ_CHECK(!(unit >= 0xDC00 && unit <= 0xDFFF));
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      FUZZ_CHECK(i + 1 < units->size() && (*units)[i + 1] >= 0xDC00 && (*units)[i + 1] <= 0xDFFF);
      ++i;
    }
  }
  if (!FileNameProblem(*units)) FUZZ_CHECK(!units->empty());
  FUZZ_CHECK(SameFileName(*units, *units));
}

void CheckUtf16Units(const std::u16string& units) {
  std::string text = Utf16ToUtf8(units);
  FUZZ_CHECK(WellFormedUtf8(text));
  // Back to the same units, except that each unpaired surrogate became U+FFFD.
  std::u16string expected;
  for (size_t i = 0; i < units.size(); ++i) {
    bool pair = units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() &&
                units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
    if (pair) {
      expected += units[i];
      expected += units[++i];
    } else {
      expected += Surrogate(units[i]) ? u'\xFFFD' : units[i];
    }
  }
  std::optional<std::u16string> back = Utf8ToUtf16(text);
  FUZZ_CHECK(back && *back == expected);
  FileNameProblem(units);
}

void CheckTime(const std::string& text) {
  std::optional<uint64_t> filetime = ParseIsoTime(text);
  if (!filetime) return;
  std::string written = FormatIsoTime(*filetime);
  FUZZ_CHECK(!written.empty());
  FUZZ_CHECK(ParseIsoTime(written) == filetime);
}

void CheckFiletime(uint64_t filetime) {
  std::string written = FormatIsoTime(filetime);
  if (written.empty()) return;
  FUZZ_CHECK(written.size() >= 20 && written.back() == 'Z');
  FUZZ_CHECK(ParseIsoTime(written) == filetime);
}

void CheckOptions(const std::vector<std::string>& args) {
  const std::set<std::string> valued{"--stub", "--title", "-o", "-d"};
  const std::set<std::string> switches{"--json", "--force"};
  CommandLine line;
  try {
    line = ParseCommandLine(args, valued, switches);
  } catch (const UsageError& refused) {
    FUZZ_CHECK(*refused.what() != 0);
    return;
  }
  for (const auto& value : line.values) FUZZ_CHECK(valued.count(value.first) == 1);
  for (const std::string& flag : line.flags) FUZZ_CHECK(switches.count(flag) == 1);
  // Every argument is an option, an option's value, an operand, "--" or a help request.
  FUZZ_CHECK(line.operands.size() + line.values.size() + line.flags.size() <= args.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (selector % 4) {
    case 0:
      CheckUtf8Text(text);
      break;
    case 1: {
      std::u16string units;
      for (size_t i = 0; i + 1 < text.size(); i += 2)
        units += static_cast<char16_t>(static_cast<uint8_t>(text[i]) |
                                       static_cast<uint8_t>(text[i + 1]) << 8);
      CheckUtf16Units(units);
      break;
    }
    case 2: {
      CheckTime(text);
      uint64_t filetime = 0;
      for (size_t i = 0; i < 8 && i < text.size(); ++i)
        filetime |= uint64_t{static_cast<uint8_t>(text[i])} << (8 * i);
      CheckFiletime(filetime);
      break;
    }
    default: {
      std::vector<std::string> args;
      size_t start = 0;
      for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\0') {
          args.push_back(text.substr(start, i - start));
          start = i + 1;
        }
      }
      CheckOptions(args);
    }
  }
  return 0;
}

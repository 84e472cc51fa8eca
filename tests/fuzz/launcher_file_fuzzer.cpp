// inspect and verify over arbitrary files; what must hold: docs/fuzzing.md, fuzz_launcher_file.
// Input: the whole file, written to a scratch file because the reader works on files; the reports
// name it by the input's first 32 bytes (a Linux file name may be any bytes but '/' and NUL).
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "launch/scan_tail.h"
#include "launch/tail_window.h"
#include "pack/cli/launcher_report.h"
#include "pack/cli/verify_report.h"
#include "pack/format/pe_checksum.h"
#include "pack/io/pack_error.h"
#include "pack/rules/certificate_rules.h"
#include "pack/rules/layout_rules.h"
#include "pack/rules/signature_rules.h"
#include "pack/text/terminal_text.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/json_check.h"

namespace {

// The scratch file of this process, removed when it ends.
std::string scratchPath;

void RemoveScratch() { std::remove(scratchPath.c_str()); }

void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);
}

void CheckView(const LauncherView& view, const std::vector<uint8_t>& bytes) {
  const int32_t size = static_cast<int32_t>(bytes.size());
  FUZZ_CHECK(view.fileLength == bytes.size() && view.lengthInFormat);
  FUZZ_CHECK(view.windowStart == WindowStart(size));
  FUZZ_CHECK(view.window == std::vector<uint8_t>(bytes.begin() + view.windowStart, bytes.end()));

  PayloadNames names;
  AnchorRecord record;
  FUZZ_CHECK(view.scanResult == ScanTail(view.window.data(),
                                         static_cast<int32_t>(view.window.size()), view.windowStart,
                                         names, record));
  if (view.scanResult == kNoMatch) return;
  // The trailer reported is the first record of the window, accepted or not.
  FUZZ_CHECK(view.trailerOffset >= static_cast<uint64_t>(view.windowStart));
  FUZZ_CHECK((view.trailerOffset - view.windowStart) % kAnchorAlignment == 0);
  FUZZ_CHECK(view.trailerOffset + kAnchorRecordSize <= bytes.size());
  FUZZ_CHECK(HasAnchorMagics(bytes.data() + view.trailerOffset));
  for (uint64_t off = view.windowStart; off < view.trailerOffset; off += kAnchorAlignment)
    FUZZ_CHECK(!HasAnchorMagics(bytes.data() + off));
  if (!view.Accepted()) return;
  FUZZ_CHECK(view.trailerOffset == static_cast<uint64_t>(view.windowStart) + view.scanResult);
  FUZZ_CHECK(view.namesEnd ==
             view.trailerOffset + kAnchorRecordSize +
                 2 * (view.names.title.size() + view.names.folderName.size() +
                      view.names.installerName.size() + view.names.packageName.size() + 4));
  FUZZ_CHECK(view.namesEnd <= bytes.size());
  uint8_t reported[kAnchorRecordSize];
  EncodeAnchorRecord(view.record, reported);
  FUZZ_CHECK(std::memcmp(reported, bytes.data() + view.trailerOffset, kAnchorRecordSize) == 0);
}

// Text for a terminal: each line as TerminalText would show it, so the file cannot forge lines.
void CheckShownSafely(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    FUZZ_CHECK(TerminalText(line) == line);
    at = end + 1;
  }
}

// What a file that verify passes must be.
void CheckPassed(const LauncherView& view, const std::vector<uint8_t>& bytes) {
  FUZZ_CHECK(view.Accepted() && view.image);
  FUZZ_CHECK(view.StoredChecksum() ==
             ComputePeChecksum(bytes.data(), bytes.size(), view.image->checksumOffset));
  const AnchorRecord& r = view.record;
  FUZZ_CHECK(uint64_t{r.installerOffset} + r.installerSize <= bytes.size());
  FUZZ_CHECK(uint64_t{r.packageOffset} + r.packageSize <= bytes.size());
  FUZZ_CHECK(uint64_t{r.packageOffset} + r.packageSize <= view.trailerOffset);
  FUZZ_CHECK(r.installerOffset >= view.image->rawDataEnd);
  PeDataDirectory table = view.CertificateTable();
  if (table.size == 0) FUZZ_CHECK(view.namesEnd == bytes.size());
  if (table.size == 0) return;
  FUZZ_CHECK(table.address >= view.namesEnd &&
             uint64_t{table.address} + table.size == bytes.size());
  // The table holds one signature and, besides it, at most its alignment: no forged trailer.
  std::optional<uint64_t> outside = BytesOutsideSignature(view);
  FUZZ_CHECK(view.certificate && view.certificate->signatureLength && outside && *outside <= 7);
  for (uint64_t p = (table.address + 127) / 128 * 128; p + kAnchorRecordSize <= bytes.size();
       p += 128)
    FUZZ_CHECK(!HasAnchorMagics(bytes.data() + p));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (scratchPath.empty()) {
    const char* folder = std::getenv("TMPDIR");
    scratchPath = std::string(folder && *folder ? folder : "/tmp") + "/vossimere-fuzz-" +
                  std::to_string(getpid()) + ".exe";
    std::atexit(RemoveScratch);
  }
  const std::string& path = scratchPath;
  WriteScratch(path, data, size);
  const std::vector<uint8_t> bytes(data, data + size);

  InputFile file(path, "");
  LauncherView view = ReadLauncherView(file);
  CheckView(view, bytes);

  std::optional<uint32_t> checksum;
  if (view.image) {
    checksum = ChecksumOfFile(file, view.image->checksumOffset);
    FUZZ_CHECK(*checksum ==
               ComputePeChecksum(bytes.data(), bytes.size(), view.image->checksumOffset));
  }
  const std::string name(reinterpret_cast<const char*>(data), size < 32 ? size : 32);
  std::string json = InspectJson(name, view, checksum);
  FUZZ_CHECK(JsonCheck(json).Whole() && PureAscii(json));
  FUZZ_CHECK((json.find("\"accepted\":true") != std::string::npos) == view.Accepted());
  std::string text = InspectText(name, view, checksum);
  FUZZ_CHECK(!text.empty() && text.back() == '\n');
  CheckShownSafely(text);

  // verify reads only inside the file: every rule is reported, never a read error.
  std::vector<std::string> broken;
  std::vector<std::string> ran;
  SignatureRequirements required;
  SignatureReport signatures;
  try {
    broken = BrokenRules(view, file, ran);
    signatures = ReadSignatureReport(view, file);
    CheckSignatures(signatures, required, broken);
  } catch (const PackError& error) {
    std::fprintf(stderr, "verify failed to read an intact file: %s\n", error.what());
    std::abort();
  }
  for (const std::string& rule : broken) {
    FUZZ_CHECK(rule.find(": ") != std::string::npos);
    FUZZ_CHECK(TerminalText(rule) == rule);
  }
  std::string verdict = VerifyJson(name, view, ran, broken, signatures, required);
  FUZZ_CHECK(JsonCheck(verdict).Whole() && PureAscii(verdict));
  FUZZ_CHECK((verdict.find("\"holds\":true") != std::string::npos) == broken.empty());
  if (broken.empty()) CheckPassed(view, bytes);
  return 0;
}

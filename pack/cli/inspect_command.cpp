// vossimere-pack inspect and verify: reading a launcher file as the launcher does and reporting.
#include "pack/cli/command_line.h"
#include "pack/io/file_system.h"
#include "pack/cli/inspect_report.h"
#include "pack/rules/layout_rules.h"
#include "pack/text/terminal_text.h"
#include "pack/cli/verify_report.h"

namespace {

std::string OneFile(const CommandLine& line) {
  if (line.operands.empty()) throw UsageError("missing FILE");
  if (line.operands.size() > 1) throw UsageError("unexpected argument '" + line.operands[1] + "'");
  return line.operands[0];
}

}  // namespace

int RunInspect(const CommandLine& line, std::ostream& out, std::ostream& err) {
  std::string name = OneFile(line);
  InputFile file(FileArgument(name, "FILE"), "");
  LauncherView view = ReadLauncherView(file);
  std::optional<uint32_t> checksum;
  if (view.image && view.lengthInFormat)  // a longer file is not read through
    checksum = ChecksumOfFile(file, view.image->checksumOffset);
  out << (line.Has("--json") ? InspectJson(name, view, checksum) : InspectText(name, view, checksum));
  if (view.lengthInFormat && view.Accepted()) return kExitOk;
  err << "vossimere-pack inspect: " << TerminalText(name)
      << (view.lengthInFormat ? " holds no trailer the launcher would accept\n"
                              : " is 2 GiB or more, outside the format: the launcher would accept "
                                "no trailer in it\n");
  return kExitCheckFailed;
}

int RunVerify(const CommandLine& line, std::ostream& out, std::ostream& err) {
  std::string name = OneFile(line);
  InputFile file(FileArgument(name, "FILE"), "");
  LauncherView view = ReadLauncherView(file);
  std::vector<std::string> broken = BrokenRules(view, file);
  if (line.Has("--json")) {
    out << VerifyJson(name, view, broken);
    return broken.empty() ? kExitOk : kExitCheckFailed;
  }
  for (const std::string& rule : broken) err << TerminalText(name) << ": " << rule << "\n";
  if (!broken.empty()) return kExitCheckFailed;
  PeDataDirectory table = view.CertificateTable();
  out << TerminalText(name) << ": every rule holds; ";
  if (table.size)
    out << "certificate table at byte " << table.address << ", " << table.size << " bytes; ";
  else
    out << "not signed; ";
  out << RoomLeft(view) << " bytes of the 128 KiB window left\n";
  return kExitOk;
}

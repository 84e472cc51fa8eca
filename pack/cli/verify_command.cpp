// vossimere-pack verify: every rule the launcher relies on, and the distributed layout, checked.
#include "pack/cli/verify_command.h"

#include "pack/cli/file_arguments.h"
#include "pack/cli/pack_exit_codes.h"
#include "pack/cli/signature_report.h"
#include "pack/cli/usage_error.h"
#include "pack/cli/verify_report.h"
#include "pack/format/launcher_reader.h"
#include "pack/rules/layout_rules.h"
#include "pack/rules/signature_rules.h"
#include "pack/rules/temp_path_room.h"
#include "pack/text/terminal_text.h"

namespace {

// The text of a CA file (PEM) named by `option`; an error when it cannot be read or holds no
// certificate at all.
std::string PemText(const std::string& name, const std::string& option) {
  InputFile file(FileArgument(name, option), "the CA file");
  if (file.Size() > (16u << 20))
    throw UsageError(option + " " + name + " is larger than the 16 MiB a CA file is read to");
  std::vector<uint8_t> bytes = file.ReadAt(0, static_cast<size_t>(file.Size()));
  std::string text(bytes.begin(), bytes.end());
  if (text.find("-----BEGIN CERTIFICATE-----") == std::string::npos)
    throw UsageError(option + " " + name +
                     " holds no PEM certificate (-----BEGIN CERTIFICATE-----)");
  return text;
}

}  // namespace

int RunVerify(const CommandLine& line, std::ostream& out, std::ostream& err) {
  std::string name = FileOperand(line);
  InputFile file(FileArgument(name, "FILE"), "");
  LauncherView view = ReadLauncherView(file);
  std::vector<std::string> ran;
  std::vector<std::string> broken = BrokenRules(view, file, ran);
  SignatureRequirements required;
  required.signedFile = line.Has("--require-signed");
  required.timeStamp = line.Has("--require-timestamp");
  SignatureTrust trust;
  if (line.Has("--ca")) trust.caPem = PemText(line.Value("--ca"), "--ca");
  if (line.Has("--timestamp-ca"))
    trust.timeStampCaPem = PemText(line.Value("--timestamp-ca"), "--timestamp-ca");
  SignatureReport signatures = ReadSignatureReport(view, file, trust);
  CheckSignatures(signatures, required, broken);
  // Not a broken rule: the file works where the temporary folder is short enough.
  if (view.Accepted()) {
    if (std::optional<std::string> room = TempPathWarning(
            view.names.folderName, view.names.installerName, view.names.packageName))
      err << TerminalText(name) << ": warning: " << *room << "\n";
  }
  if (line.Has("--json")) {
    out << VerifyJson(name, view, ran, broken, signatures, required);
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
  out << SignatureText(view, signatures);
  return kExitOk;
}

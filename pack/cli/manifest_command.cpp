// vossimere-pack manifest winget: a package manager's installer manifest for a launcher file,
// from its SHA-256 and the fields of the package it carries.
#include "pack/cli/command_line.h"
#include "pack/cli/winget_manifest.h"
#include "pack/text/terminal_text.h"

int RunManifest(const CommandLine& line, std::ostream& out, std::ostream& err) {
  if (line.operands.empty()) throw UsageError("missing the manifest's kind (winget) and FILE");
  if (line.operands[0] != "winget")
    throw UsageError("unknown manifest kind '" + line.operands[0] + "' (known: winget)");
  CommandLine rest = line;
  rest.operands.erase(rest.operands.begin());
  std::string name = FileOperand(rest);
  for (const char* required : {"--identifier", "--url"})
    if (!line.Has(required)) throw UsageError(std::string("missing ") + required);
  InputFile file(FileArgument(name, "FILE"), "");
  LauncherView view = ReadLauncherView(file);
  ShippedFacts facts = ReadShippedFacts(file, view);
  if (!view.lengthInFormat || !view.Accepted()) {
    err << "vossimere-pack manifest: " << TerminalText(name)
        << " holds no trailer the launcher would accept\n";
    return kExitCheckFailed;
  }
  if (!facts.package) {
    err << "vossimere-pack manifest: " << TerminalText(name)
        << ": the embedded package cannot be read: " << TerminalText(facts.packageProblem) << "\n";
    return kExitCheckFailed;
  }
  WingetOptions options;
  options.identifier = line.Value("--identifier");
  options.version = line.Value("--version");
  options.url = line.Value("--url");
  options.silent = line.Value("--silent");
  options.silentWithProgress = line.Value("--silent-with-progress");
  options.interactive = line.Value("--interactive");
  options.log = line.Value("--log");
  options.installLocation = line.Value("--install-location");
  options.upgrade = line.Value("--upgrade");
  options.custom = line.Value("--custom");
  out << WingetManifest(options, facts);
  return kExitOk;
}

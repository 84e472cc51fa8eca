// vossimere-pack manifest winget: a package manager's installer manifest for a launcher file,
// from its SHA-256 and the fields of the package it carries, printed; or with --output-dir the
// whole set winget reads, written as files.
#include "pack/cli/manifest_command.h"

#include <memory>
#include <vector>

#include "pack/cli/file_arguments.h"
#include "pack/cli/pack_exit_codes.h"
#include "pack/cli/usage_error.h"
#include "pack/cli/winget_manifest.h"
#include "pack/io/create_folders.h"
#include "pack/io/output_file.h"
#include "pack/io/path_text.h"
#include "pack/text/terminal_text.h"

namespace {

// Writes every file beside its target first, and puts them in place only when all are written,
// so that a failure leaves no set of new and old files.
void WriteManifestSet(const std::filesystem::path& folder, const std::vector<WingetFile>& files) {
  CreateFolders(folder);
  std::vector<std::unique_ptr<OutputFile>> outputs;
  for (const WingetFile& file : files) {
    outputs.push_back(std::make_unique<OutputFile>(folder / PathFromText(file.name)));
    outputs.back()->Write(reinterpret_cast<const uint8_t*>(file.text.data()), file.text.size());
    outputs.back()->Close();
  }
  for (auto& output : outputs) output->Commit();
}

}  // namespace

int RunManifest(const CommandLine& line, std::ostream& out, std::ostream& err) {
  if (line.operands.empty()) throw UsageError("missing the manifest's kind (winget) and FILE");
  if (line.operands[0] != "winget")
    throw UsageError("unknown manifest kind '" + line.operands[0] + "' (known: winget)");
  CommandLine rest = line;
  rest.operands.erase(rest.operands.begin());
  std::string name = FileOperand(rest);
  for (const char* required : {"--identifier", "--url"})
    if (!line.Has(required)) throw UsageError(std::string("missing ") + required);
  if (!line.Has("--output-dir"))
    for (const char* localeOption :
         {"--locale", "--publisher", "--package-name", "--license", "--short-description"})
      if (line.Has(localeOption))
        throw UsageError(std::string(localeOption) +
                         " is a field of the default-locale manifest, which only --output-dir "
                         "writes");
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
  options.returnCodes = line.Values("--return-code");
  // The manifest's SHA-256 is the file's as it is now; signing changes it.
  auto warnUnsigned = [&] {
    if (view.CertificateTable().size == 0)
      err << "vossimere-pack manifest: warning: " << TerminalText(name)
          << " is not signed: its SHA-256 changes when it is signed, so sign it first and make "
             "the manifest from the signed file\n";
  };
  if (!line.Has("--output-dir")) {
    out << WingetManifest(options, facts);
    warnUnsigned();
    return kExitOk;
  }
  if (line.Has("--locale")) options.locale = line.Value("--locale");
  options.publisher = line.Value("--publisher");
  options.packageName = line.Value("--package-name");
  options.license = line.Value("--license");
  options.shortDescription = line.Value("--short-description");
  std::filesystem::path folder = FileArgument(line.Value("--output-dir"), "--output-dir");
  std::vector<WingetFile> files = WingetManifestSet(options, facts);
  WriteManifestSet(folder, files);
  warnUnsigned();
  for (const WingetFile& file : files) out << PathText(folder / PathFromText(file.name)) << "\n";
  return kExitOk;
}

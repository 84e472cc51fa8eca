// vossimere-pack build: the options, their defaults and the checks of the names; the writing
// itself is WriteLauncherFile's.
#include <cstdlib>

#include "pack/cli/command_line.h"
#include "pack/cli/source_date.h"
#include "pack/format/launcher_writer.h"
#include "pack/io/file_system.h"
#include "pack/io/input_file.h"
#include "pack/io/pack_error.h"
#include "pack/rules/file_names.h"
#include "pack/rules/payload_warnings.h"
#include "pack/rules/temp_path_room.h"
#include "pack/text/iso_time.h"
#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"

namespace {

// The room a dual signature (SHA-1 and SHA-256, each with its time stamp) typically needs.
constexpr int64_t kTypicalSignatureRoom = 24 * 1024;

std::string Required(const CommandLine& line, const std::string& option, const char* what) {
  if (!line.Has(option)) throw UsageError(std::string("missing ") + option + " " + what);
  return line.Value(option);
}

std::u16string Utf16Option(const std::string& text, const std::string& option) {
  std::optional<std::u16string> wide = Utf8ToUtf16(text);
  if (!wide) throw PackError(option + " is not valid UTF-8");
  return *wide;
}

// The name given with `option`, or the input file's own name.
std::u16string EmbeddedName(const CommandLine& line, const std::string& option,
                            const std::filesystem::path& input, const char* what) {
  bool given = line.Has(option);
  std::string text = given ? line.Value(option) : PathText(input.filename());
  std::u16string name = Utf16Option(text, option);
  if (std::optional<std::string> problem = FileNameProblem(name)) {
    std::string origin =
        given ? "given with " + option : "taken from the file's own name; give " + option;
    throw PackError(std::string("the ") + what + " name \"" + TerminalText(text) + "\" " +
                    *problem + " (" + origin + ")");
  }
  return name;
}

// The time given with `option` as given, or the input file's last-write time, clamped to
// SOURCE_DATE_EPOCH (`sourceDate`) when that is set.
uint64_t EmbeddedTime(const CommandLine& line, const std::string& option,
                      const std::filesystem::path& input, std::optional<uint64_t> sourceDate) {
  if (!line.Has(option)) {
    if (StatusOf(input).kind == FileKind::kMissing) return 0;  // reported as missing later
    return ClampToSourceDate(LastWriteTime(input), sourceDate);
  }
  std::optional<uint64_t> time = ParseIsoTime(line.Value(option));
  if (!time)
    throw PackError(option + " \"" + line.Value(option) +
                    "\" is not an ISO 8601 time with a zone from the years 1601 to 9999, "
                    "e.g. 2024-03-01T09:30:00Z");
  return *time;
}

void RefuseOverwritingAnInput(const std::filesystem::path& output,
                              const std::vector<std::filesystem::path>& inputs) {
  for (const std::filesystem::path& input : inputs) {
    if (SameFile(output, input))
      throw PackError("-o " + PathText(output) +
                      " is one of the inputs; write the launcher "
                      "file somewhere else");
  }
}

}  // namespace

int RunBuild(const CommandLine& line, std::ostream&, std::ostream& err) {
  if (!line.operands.empty()) throw UsageError("unexpected argument '" + line.operands[0] + "'");
  LauncherInputs inputs;
  inputs.stub = FileArgument(Required(line, "--stub", "(the launcher's executable)"), "--stub");
  inputs.installer =
      FileArgument(Required(line, "--installer", "(the installer program)"), "--installer");
  inputs.package =
      FileArgument(Required(line, "--package", "(the installation package)"), "--package");
  std::string title = Required(line, "--title", "(the product title)");
  std::filesystem::path output =
      FileArgument(Required(line, "-o", "(the launcher file to write)"), "-o");
  // Windows opens a device for these names (NUL.exe is NUL), wherever the folder is. A Linux name
  // that is not UTF-8 is no device name.
  std::string outputName = PathText(output.filename());
  std::optional<std::u16string> wideName = Utf8ToUtf16(outputName);
  if (std::optional<std::string> device = wideName ? ReservedDeviceName(*wideName) : std::nullopt)
    throw PackError("-o " + TerminalText(PathText(output)) + ": the name \"" +
                    TerminalText(outputName) + "\" is the reserved device name " + *device +
                    "; Windows would write to the device, not to a file");

  inputs.names.title = Utf16Option(title, "--title");
  if (inputs.names.title.empty()) throw PackError("the title is empty");
  if (std::optional<std::string> problem = TitleProblem(inputs.names.title))
    throw PackError("the title \"" + TerminalText(title) + "\" " + *problem +
                    "; it is the caption of the launcher's messages");
  if (line.Has("--folder")) {
    inputs.names.folderName = Utf16Option(line.Value("--folder"), "--folder");
    if (std::optional<std::string> problem = FileNameProblem(inputs.names.folderName))
      throw PackError("the folder name \"" + TerminalText(line.Value("--folder")) + "\" " +
                      *problem);
  }
  inputs.names.installerName =
      EmbeddedName(line, "--installer-name", inputs.installer, "installer");
  inputs.names.packageName = EmbeddedName(line, "--package-name", inputs.package, "package");
  if (SameFileName(inputs.names.installerName, inputs.names.packageName))
    throw PackError("the installer and the package have the same name \"" +
                    TerminalText(Utf16ToUtf8(inputs.names.packageName)) +
                    "\"; the package would overwrite the installer. Give --installer-name or "
                    "--package-name");
  std::optional<uint64_t> sourceDate = SourceDateFiletime(std::getenv("SOURCE_DATE_EPOCH"));
  inputs.installerTime = EmbeddedTime(line, "--installer-time", inputs.installer, sourceDate);
  inputs.packageTime = EmbeddedTime(line, "--package-time", inputs.package, sourceDate);
  RefuseOverwritingAnInput(output, {inputs.stub, inputs.installer, inputs.package});
  std::vector<std::string> warnings;
  {
    InputFile installer(inputs.installer, "the installer");
    InputFile package(inputs.package, "the package");
    warnings = PayloadWarnings(installer, package);
  }

  WrittenLauncher written = WriteLauncherFile(inputs, output);
  if (std::optional<std::string> room = TempPathWarning(
          written.names.folderName, written.names.installerName, written.names.packageName))
    warnings.push_back(*room);
  for (const std::string& warning : warnings)
    err << "vossimere-pack build: warning: " << warning << "\n";
  err << "vossimere-pack build: wrote " << TerminalText(PathText(output)) << " ("
      << written.layout.fileLength << " bytes, folder "
      << TerminalText(Utf16ToUtf8(written.names.folderName)) << "); " << written.roomLeft
      << " bytes of the 128 KiB window are left for a signature\n";
  if (written.roomLeft < kTypicalSignatureRoom)
    err << "vossimere-pack build: warning: a signature with two digests and time stamps "
           "typically takes about 24 KiB ("
        << kTypicalSignatureRoom << " bytes), more than the " << written.roomLeft
        << " bytes left; the signed file may leave the launcher no trailer "
           "to find. Shorten the title or the names\n";
  return kExitOk;
}

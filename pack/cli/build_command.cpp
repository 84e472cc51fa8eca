// vossimere-pack build: the options, their defaults and the checks of the names; the writing
// itself is WriteLauncherFile's.
#include "pack/cli/build_command.h"

#include <cstdlib>

#include "pack/cli/file_arguments.h"
#include "pack/cli/pack_exit_codes.h"
#include "pack/cli/source_date.h"
#include "pack/cli/usage_error.h"
#include "pack/format/launcher_writer.h"
#include "pack/format/msi_package.h"
#include "pack/io/file_status.h"
#include "pack/io/file_time.h"
#include "pack/io/input_file.h"
#include "pack/io/pack_error.h"
#include "pack/io/path_text.h"
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

// The options that describe the launcher file in its version information.
const char* const kVersionOptions[] = {
    "--file-version",      "--product-version",  "--product-name",
    "--company",           "--description",      "--copyright",
    "--original-filename", "--version-language", "--version-from-package"};

std::vector<IconImage> IconOption(const CommandLine& line) {
  std::filesystem::path path = FileArgument(line.Value("--icon"), "--icon");
  InputFile file(path, "the icon " + PathText(path));
  if (file.Size() > kLargestIconFile)
    throw PackError(file.Name() + " is " + std::to_string(file.Size()) + " bytes, more than the " +
                    std::to_string(kLargestIconFile) + " an icon file may have");
  std::vector<uint8_t> bytes = file.ReadAt(0, static_cast<size_t>(file.Size()));
  return ReadIconFile(bytes, file.Name());
}

// A text for the version information, from `option` or, when `fallback` holds one, from the
// package (`origin` says where it came from in messages).
std::optional<std::u16string> VersionString(const CommandLine& line, const std::string& option,
                                            const std::optional<std::string>& fallback,
                                            const std::string& origin) {
  if (!line.Has(option) && !fallback) return std::nullopt;
  std::string text = line.Has(option) ? line.Value(option) : *fallback;
  std::string from = line.Has(option) ? option : origin;
  std::u16string value = Utf16Option(text, from);
  if (std::optional<std::string> problem = VersionStringProblem(value))
    throw PackError(from + " \"" + TerminalText(text) + "\" " + *problem);
  return value;
}

std::optional<std::array<uint16_t, 4>> VersionNumbers(const CommandLine& line,
                                                      const std::string& option,
                                                      const std::optional<std::string>& fallback,
                                                      const std::string& origin) {
  if (!line.Has(option) && !fallback) return std::nullopt;
  std::string text = line.Has(option) ? line.Value(option) : *fallback;
  std::string problem;
  std::optional<std::array<uint16_t, 4>> numbers = ParseVersionNumbers(text, &problem);
  if (!numbers)
    throw PackError((line.Has(option) ? option : origin) + " \"" + TerminalText(text) + "\" " +
                    problem);
  return numbers;
}

// The version information the options ask for, or nothing when none of them is given.
std::optional<VersionInfo> VersionOptions(const CommandLine& line,
                                          const std::filesystem::path& package,
                                          const std::filesystem::path& output) {
  bool asked = false;
  for (const char* option : kVersionOptions) asked = asked || line.Has(option);
  if (!asked) return std::nullopt;
  MsiPackageFields fields;
  if (line.Has("--version-from-package")) {
    InputFile file(package, "the package");
    try {
      fields = ReadMsiPackageFields(PackageBytes(file, 0, file.Size()));
    } catch (const PackageFormatError& e) {
      throw PackError("--version-from-package: " + file.Name() +
                      " cannot be read as a Windows Installer package: " + e.what());
    }
  }
  VersionInfo info;
  if (line.Has("--version-language")) {
    std::optional<uint16_t> language = ParseLanguage(line.Value("--version-language"));
    if (!language)
      throw PackError("--version-language \"" + TerminalText(line.Value("--version-language")) +
                      "\" is not a language the tool knows; give a tag such as en-US, de-DE or "
                      "ja-JP, or a Windows language id such as 0x0409 (see --help)");
    info.language = *language;
  }
  auto product = VersionNumbers(line, "--product-version", fields.productVersion,
                                "the package's ProductVersion");
  auto file = VersionNumbers(line, "--file-version", std::nullopt, "");
  if (!file && !product)
    throw PackError("the version information needs a version: give --file-version, "
                    "--product-version or --version-from-package with a package that sets "
                    "ProductVersion");
  info.fileVersion = file ? *file : *product;
  info.productVersion = product ? *product : *file;
  auto productName =
      VersionString(line, "--product-name", fields.productName, "the package's ProductName");
  auto company =
      VersionString(line, "--company", fields.manufacturer, "the package's Manufacturer");
  auto description = VersionString(line, "--description", std::nullopt, "");
  auto copyright = VersionString(line, "--copyright", std::nullopt, "");
  auto original = VersionString(line, "--original-filename", PathText(output.filename()),
                                "the name of the -o file");
  if (!description) description = productName;
  auto add = [&info](const char16_t* name, const std::optional<std::u16string>& value) {
    if (value) info.strings.emplace_back(name, *value);
  };
  auto numbersText = [](const std::array<uint16_t, 4>& numbers) {
    std::string text = VersionNumbersText(numbers);
    return std::u16string(text.begin(), text.end());
  };
  // In the order the resource compiler writes them.
  add(u"CompanyName", company);
  add(u"FileDescription", description);
  add(u"FileVersion", numbersText(info.fileVersion));
  add(u"LegalCopyright", copyright);
  add(u"OriginalFilename", original);
  add(u"ProductName", productName);
  add(u"ProductVersion", line.Has("--product-version") || !fields.productVersion
                             ? numbersText(info.productVersion)
                             : Utf16Option(*fields.productVersion, "ProductVersion"));
  return info;
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
  std::vector<std::filesystem::path> read{inputs.stub, inputs.installer, inputs.package};
  if (line.Has("--icon")) {
    inputs.appearance.icon = IconOption(line);
    read.push_back(FileArgument(line.Value("--icon"), "--icon"));
  }
  inputs.appearance.version = VersionOptions(line, inputs.package, output);
  RefuseOverwritingAnInput(output, read);
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

#include "pack/cli/winget_manifest.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <regex>
#include <sstream>

#include "launch/exit_codes.h"
#include "launch/messages.h"
#include "pack/cli/usage_error.h"
#include "pack/io/pack_error.h"
#include "pack/text/utf.h"

const char kWingetSchemaVersion[] = "1.12.0";

namespace {

// The ReturnResponse values of the installer manifest's schema.
const char* const kResponses[] = {"packageInUse",
                                  "packageInUseByApplication",
                                  "installInProgress",
                                  "fileInUse",
                                  "missingDependency",
                                  "diskFull",
                                  "insufficientMemory",
                                  "invalidParameter",
                                  "noNetwork",
                                  "contactSupport",
                                  "rebootRequiredToFinish",
                                  "rebootRequiredForInstall",
                                  "rebootInitiated",
                                  "cancelledByUser",
                                  "alreadyInstalled",
                                  "downgrade",
                                  "blockedByPolicy",
                                  "systemNotSupported",
                                  "custom"};
constexpr size_t kMostReturnCodes = 128;  // the schema's maxItems for ExpectedReturnCodes

struct ReturnCode {
  int64_t code;
  std::string response;
  const char* source;  // whose code it is, for the message about a code given twice
};

// The launcher's own exit codes (launch/messages.h) and what winget is to tell the user, and the
// codes an installer ending in a restart passes through the launcher: Windows Installer's 3010
// and 1641, mapped as winget maps them for an msi installer, so that winget reports the restart
// (listed as success codes, winget would not look them up and would call the install done). 0,
// the start without a process to wait for, cannot be listed: winget takes 0 as success anyway.
std::vector<ReturnCode> OwnCodes() {
  const char* launcher = "the launcher's own";
  const char* restart = "Windows Installer's restart";
  return {
      {kNoAnchor.exitCode, "contactSupport", launcher},  // the download is damaged
      {kInstallFileNotOpened.exitCode, "contactSupport", launcher},
      {kInstallFileNotRead.exitCode, "contactSupport", launcher},
      {kOwnPathUnavailable.exitCode, "contactSupport", launcher},
      {kTempPathUnavailable.exitCode, "contactSupport", launcher},
      {kTempFileNotCreated.exitCode, "contactSupport", launcher},  // folder missing or refused
      {kTempFileNotWritten.exitCode, "diskFull", launcher},
      {kInstallerNotStarted.exitCode, "blockedByPolicy", launcher},  // application control, mostly
      {kExitWindowDestroyed, "cancelledByUser", launcher},  // a declined prompt, a closed window
      {kExitInstallerCodeUnknown, "contactSupport", launcher},
      {kExitWorkerNotStarted, "insufficientMemory", launcher},
      {kExitWindowNotCreated, "insufficientMemory", launcher},
      {3010, "rebootRequiredToFinish", restart},  // ERROR_SUCCESS_REBOOT_REQUIRED
      {1641, "rebootInitiated", restart},         // ERROR_SUCCESS_REBOOT_INITIATED
  };
}

// What the schema's patterns mean by \s (ECMAScript's white space and line terminators).
bool IsPatternSpace(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000 || c == 0xFEFF;
}

// What the schema's '.' does not match.
bool IsLineTerminator(char32_t c) { return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029; }

bool IsNonCharacter(char32_t c) { return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE; }

// The code points of a value; what names the value in a message ("--publisher", "the package's
// Manufacturer").
std::u32string CodePoints(const std::string& what, const std::string& value) {
  std::u32string points;
  for (size_t at = 0; at < value.size();) {
    char32_t c;
    size_t length = DecodeUtf8At(value, at, c);
    if (!length) throw UsageError(what + " is not UTF-8");
    points.push_back(c);
    at += length;
  }
  return points;
}

// The schema's minLength and maxLength, which count characters.
std::u32string CheckLength(const std::string& what, const std::string& value, size_t shortest,
                           size_t longest) {
  std::u32string points = CodePoints(what, value);
  if (points.empty()) throw UsageError(what + " is empty");
  if (points.size() < shortest)
    throw UsageError(what + " is shorter than the " + std::to_string(shortest) +
                     " characters winget asks for");
  if (points.size() > longest)
    throw UsageError(what + " is longer than the " + std::to_string(longest) +
                     " characters winget allows");
  return points;
}

bool IsPathCharacter(char32_t c) {
  return std::u32string(U"\\/:*?\"<>|").find(c) != std::u32string::npos || (c >= 0x01 && c < 0x20);
}

// PackageIdentifier: 2 to 8 parts of 1 to 32 characters between dots, none of them white space, a
// control character or one of \ / : * ? " < > |; 128 characters at most.
void CheckIdentifier(const std::string& id) {
  std::u32string points = CheckLength("--identifier", id, 1, 128);
  size_t parts = 0, length = 0;
  bool good = true;
  for (size_t i = 0; i <= points.size(); ++i) {
    if (i == points.size() || points[i] == '.') {
      good &= length >= 1 && length <= 32;
      ++parts;
      length = 0;
      continue;
    }
    good &= !IsPatternSpace(points[i]) && !IsPathCharacter(points[i]);
    ++length;
  }
  if (!good || parts < 2 || parts > 8)
    throw UsageError("--identifier '" + id +
                     "' is not a winget package identifier: 2 to 8 parts of 1 to 32 characters "
                     "joined by dots (Publisher.Product), without blanks or \\ / : * ? \" < > |");
}

// PackageVersion: 128 characters at most, none of them a control character or \ / : * ? " < > |.
void CheckVersion(const std::string& what, const std::string& version) {
  std::u32string points = CheckLength(what, version, 1, 128);
  if (std::any_of(points.begin(), points.end(), IsPathCharacter))
    throw UsageError(what + " '" + version +
                     "' is not a winget package version: it holds a control character or one of "
                     "\\ / : * ? \" < > |");
}

// Url: http:// or https:// and at least one character more, on one line; 2048 characters at most.
void CheckUrl(const std::string& what, const std::string& url) {
  std::u32string points = CheckLength(what, url, 1, 2048);
  std::string scheme;
  for (char c : url.substr(0, url.find("://")))
    scheme.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  size_t rest = url.find("://");
  if ((scheme != "http" && scheme != "https") || rest == std::string::npos ||
      rest + 3 >= url.size() || std::any_of(points.begin(), points.end(), IsLineTerminator))
    throw UsageError(what + " '" + url + "' is not an http:// or https:// address on one line");
}

void CheckLocale(const std::string& locale) {
  static const std::regex pattern(
      "^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$");
  CheckLength("--locale", locale, 1, 20);
  if (!std::regex_match(locale, pattern))
    throw UsageError("--locale '" + locale +
                     "' is not a language tag winget takes (en-US, de, ja-JP)");
}

// Every value of the three manifests, checked.
struct WingetValues {
  std::string version;
  std::vector<ReturnCode> codes;  // sorted by code
  std::string publisher, packageName;
};

WingetValues CheckValues(const WingetOptions& options, const ShippedFacts& facts) {
  WingetValues values;
  CheckIdentifier(options.identifier);
  CheckUrl("--url", options.url);
  // A field whose text is not known exactly (a code page the platform cannot convert) is not
  // published: winget would show its U+FFFD to every user.
  const MsiPackageFields& package = *facts.package;
  for (const MsiPackageFields::Unconverted& field : package.unconverted)
    if (field.property != "ALLUSERS" && field.property != "MSIINSTALLPERUSER")
      throw PackError("the package's " + field.property +
                      (field.result == CodePageResult::kNoConverter
                           ? " is in code page " + std::to_string(package.codepage) +
                                 ", which cannot be converted on this platform"
                           : " holds bytes that are not text in its code page " +
                                 std::to_string(package.codepage)) +
                      ": it is not published as U+FFFD");
  if (!options.version.empty()) {
    CheckVersion("--version", options.version);
    values.version = options.version;
  } else if (package.productVersion && !package.productVersion->empty()) {
    CheckVersion("the package's ProductVersion", *package.productVersion);
    values.version = *package.productVersion;
  } else {
    throw UsageError("the package has no ProductVersion: give the version with --version");
  }
  struct Limit {
    const char* what;
    const std::string& value;
    size_t longest;
  };
  const Limit switches[] = {
      {"--silent", options.silent, 512},
      {"--silent-with-progress", options.silentWithProgress, 512},
      {"--interactive", options.interactive, 512},
      {"--install-location", options.installLocation, 512},
      {"--log", options.log, 512},
      {"--upgrade", options.upgrade, 512},
      {"--custom", options.custom, 2048},
  };
  for (const Limit& s : switches)
    if (!s.value.empty()) CheckLength(s.what, s.value, 1, s.longest);
  // The package's values as AppsAndFeaturesEntries and the installer's ProductCode carry them.
  const std::pair<const char*, const std::optional<std::string>&> fromPackage[] = {
      {"ProductName", package.productName},
      {"Manufacturer", package.manufacturer},
      {"ProductVersion", package.productVersion},
      {"ProductCode", package.productCode},
      {"UpgradeCode", package.upgradeCode}};
  for (const auto& [name, value] : fromPackage) {
    if (!value || value->empty()) continue;
    std::string field = name;
    size_t longest =
        field == "ProductVersion" ? 128 : (field.find("Code") != field.npos ? 255 : 256);
    CheckLength("the package's " + field, *value, 1, longest);
  }

  values.codes = OwnCodes();
  for (const std::string& text : options.returnCodes) {
    auto [code, response] = ParseReturnCode(text);
    for (const ReturnCode& known : values.codes)
      if (known.code == code)
        throw UsageError("--return-code " + std::to_string(code) + " is listed already, as " +
                         known.source + " code (" + known.response + ")");
    values.codes.push_back({code, response, "the installer's own"});
  }
  if (values.codes.size() > kMostReturnCodes)
    throw UsageError("--return-code is given too often: winget takes " +
                     std::to_string(kMostReturnCodes) + " codes at most, and the launcher's own " +
                     "and the restart codes are " + std::to_string(OwnCodes().size()) + " of them");
  std::sort(values.codes.begin(), values.codes.end(),
            [](const ReturnCode& a, const ReturnCode& b) { return a.code < b.code; });
  return values;
}

std::string SchemaLine(const char* type) {
  return std::string("# yaml-language-server: $schema=https://aka.ms/winget-manifest.") + type +
         "." + kWingetSchemaVersion + ".schema.json\n";
}

std::string InstallerManifest(const WingetOptions& options, const ShippedFacts& facts,
                              const WingetValues& values) {
  const MsiPackageFields& package = *facts.package;
  struct Switch {
    const char* key;
    const std::string& value;
  };
  const Switch switches[] = {
      {"Silent", options.silent},
      {"SilentWithProgress", options.silentWithProgress},
      {"Interactive", options.interactive},
      {"InstallLocation", options.installLocation},
      {"Log", options.log},
      {"Upgrade", options.upgrade},
      {"Custom", options.custom},
  };
  std::ostringstream out;
  out << "# A winget installer manifest made by vossimere-pack from the launcher file.\n"
      << SchemaLine("installer");
  out << "PackageIdentifier: " << YamlString(options.identifier) << "\n";
  out << "PackageVersion: " << YamlString(values.version) << "\n";
  out << "InstallerType: exe\n";
  std::optional<MsiScope> scope = ScopeOf(package);
  if (scope) out << "Scope: " << ScopeName(*scope) << "\n";
  out << "InstallModes:\n  - interactive\n";
  if (!options.silent.empty()) out << "  - silent\n";
  if (!options.silentWithProgress.empty()) out << "  - silentWithProgress\n";
  bool anySwitch = false;
  for (const Switch& s : switches) anySwitch |= !s.value.empty();
  if (anySwitch) {
    out << "InstallerSwitches:\n";
    for (const Switch& s : switches)
      if (!s.value.empty()) out << "  " << s.key << ": " << YamlString(s.value) << "\n";
  }
  out << "ExpectedReturnCodes:\n";
  for (const ReturnCode& c : values.codes)
    out << "  - InstallerReturnCode: " << c.code << "\n    ReturnResponse: " << c.response << "\n";
  if (package.productCode || package.upgradeCode) {
    out << "AppsAndFeaturesEntries:\n";
    const char* lead = "  - ";
    auto entry = [&](const char* key, const std::optional<std::string>& value) {
      if (!value || value->empty()) return;
      out << lead << key << ": " << YamlString(*value) << "\n";
      lead = "    ";
    };
    entry("DisplayName", package.productName);
    entry("Publisher", package.manufacturer);
    entry("DisplayVersion", package.productVersion);
    entry("ProductCode", package.productCode);
    entry("UpgradeCode", package.upgradeCode);
    out << lead << "InstallerType: msi\n";
  }
  out << "Installers:\n  - Architecture: x64\n";
  out << "    InstallerUrl: " << YamlString(options.url) << "\n";
  std::string sha = *facts.sha256;
  for (char& c : sha) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  out << "    InstallerSha256: " << sha << "\n";
  if (package.productCode && !package.productCode->empty())
    out << "    ProductCode: " << YamlString(*package.productCode) << "\n";
  out << "ManifestType: installer\nManifestVersion: " << kWingetSchemaVersion << "\n";
  return out.str();
}

// A default-locale field from its option, else from the package; its lengths checked.
std::string LocaleField(const std::string& option, const std::string& given, const char* field,
                        const std::optional<std::string>& fromPackage, size_t shortest,
                        size_t longest) {
  if (!given.empty()) {
    CheckLength(option, given, shortest, longest);
    return given;
  }
  if (!fromPackage || fromPackage->empty())
    throw UsageError(std::string("the package has no ") + field + ": give it with " + option);
  CheckLength(std::string("the package's ") + field + " (or " + option + ")", *fromPackage,
              shortest, longest);
  return *fromPackage;
}

}  // namespace

std::string YamlString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t at = 0; at < utf8.size();) {
    char32_t c;
    size_t length = DecodeUtf8At(utf8, at, c);
    if (!length) {
      c = U'\uFFFD';
      length = 1;
    }
    char escape[12];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
      out += escape;
    } else if (c == 0x2028 || c == 0x2029 || c == 0xFEFF || (IsNonCharacter(c) && c <= 0xFFFF)) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    } else if (IsNonCharacter(c)) {
      std::snprintf(escape, sizeof escape, "\\U%08X", static_cast<unsigned>(c));
      out += escape;
    } else {
      AppendUtf8(out, c);
    }
    at += length;
  }
  return out + "\"";
}

std::pair<int64_t, std::string> ParseReturnCode(const std::string& text) {
  size_t equals = text.find('=');
  std::string code = text.substr(0, equals);
  std::string response = equals == std::string::npos ? "" : text.substr(equals + 1);
  std::string problem = "--return-code '" + text + "' ";
  static const std::regex number("^-?[0-9]{1,10}$|^0[xX][0-9A-Fa-f]{1,8}$");
  if (equals == std::string::npos || !std::regex_match(code, number))
    throw UsageError(problem + "is not CODE=RESPONSE with a decimal or 0x hexadecimal CODE");
  int64_t value = code.rfind("0x", 0) == 0 || code.rfind("0X", 0) == 0
                      ? static_cast<int64_t>(std::stoull(code.substr(2), nullptr, 16))
                      : std::stoll(code);
  if (value == 0 || value < -2147483648LL || value > 4294967295LL)
    throw UsageError(problem + "has a CODE winget refuses: not 0 (winget's own success), from " +
                     "-2147483648 to 4294967295");
  for (const char* known : kResponses)
    if (response == known) return {value, response};
  std::string list;
  for (const char* known : kResponses) list += std::string(list.empty() ? "" : ", ") + known;
  throw UsageError(problem + "has a RESPONSE winget does not know; it knows " + list);
}

std::string WingetManifest(const WingetOptions& options, const ShippedFacts& facts) {
  return InstallerManifest(options, facts, CheckValues(options, facts));
}

std::vector<WingetFile> WingetManifestSet(const WingetOptions& options, const ShippedFacts& facts) {
  WingetValues values = CheckValues(options, facts);
  CheckLocale(options.locale);
  const MsiPackageFields& package = *facts.package;
  std::string publisher =
      LocaleField("--publisher", options.publisher, "Manufacturer", package.manufacturer, 2, 256);
  std::string name = LocaleField("--package-name", options.packageName, "ProductName",
                                 package.productName, 2, 256);
  if (options.license.empty()) throw UsageError("missing --license (with --output-dir)");
  CheckLength("--license", options.license, 3, 512);
  if (options.shortDescription.empty())
    throw UsageError("missing --short-description (with --output-dir)");
  CheckLength("--short-description", options.shortDescription, 3, 256);

  std::string head = "PackageIdentifier: " + YamlString(options.identifier) +
                     "\nPackageVersion: " + YamlString(values.version) + "\n";
  std::string tail = std::string("ManifestVersion: ") + kWingetSchemaVersion + "\n";
  std::string version = "# A winget version manifest made by vossimere-pack.\n" +
                        SchemaLine("version") + head + "DefaultLocale: " + options.locale +
                        "\nManifestType: version\n" + tail;
  std::string locale =
      "# A winget default-locale manifest made by vossimere-pack.\n" + SchemaLine("defaultLocale") +
      head + "PackageLocale: " + options.locale + "\nPublisher: " + YamlString(publisher) +
      "\nPackageName: " + YamlString(name) + "\nLicense: " + YamlString(options.license) +
      "\nShortDescription: " + YamlString(options.shortDescription) +
      "\nManifestType: defaultLocale\n" + tail;
  const std::string& id = options.identifier;
  return {{id + ".yaml", version},
          {id + ".locale." + options.locale + ".yaml", locale},
          {id + ".installer.yaml", InstallerManifest(options, facts, values)}};
}

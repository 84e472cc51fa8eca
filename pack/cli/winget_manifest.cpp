#include "pack/cli/winget_manifest.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <vector>

#include "launch/exit_codes.h"
#include "launch/messages.h"
#include "pack/cli/command_line.h"
#include "pack/io/pack_error.h"
#include "pack/text/utf.h"

namespace {

constexpr char kSchemaVersion[] = "1.10.0";

// The launcher's own exit codes (launch/messages.h) and what winget is to tell the user. 0, the
// start without a process to wait for, cannot be listed: winget takes 0 as success anyway.
struct OwnCode {
  uint32_t code;
  const char* response;
};

std::vector<OwnCode> OwnCodes() {
  std::vector<OwnCode> codes = {
      {kNoAnchor.exitCode, "contactSupport"},  // the download is damaged
      {kInstallFileNotOpened.exitCode, "contactSupport"},
      {kInstallFileNotRead.exitCode, "contactSupport"},
      {kOwnPathUnavailable.exitCode, "contactSupport"},
      {kTempPathUnavailable.exitCode, "contactSupport"},
      {kTempFileNotCreated.exitCode, "contactSupport"},  // temporary folder missing or refused
      {kTempFileNotWritten.exitCode, "diskFull"},
      {kInstallerNotStarted.exitCode, "blockedByPolicy"},  // application control, mostly
      {kExitWindowDestroyed, "cancelledByUser"},           // a declined prompt, a closed window
      {kExitInstallerCodeUnknown, "contactSupport"},
      {kExitWorkerNotStarted, "insufficientMemory"},
      {kExitWindowNotCreated, "insufficientMemory"},
  };
  std::sort(codes.begin(), codes.end(),
            [](const OwnCode& a, const OwnCode& b) { return a.code < b.code; });
  return codes;
}

size_t Characters(const std::string& utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
  return count;
}

void CheckText(const std::string& option, const std::string& value, size_t longest) {
  if (!Utf8ToUtf16(value)) throw UsageError(option + " is not UTF-8");
  if (value.empty()) throw UsageError(option + " is empty");
  if (Characters(value) > longest)
    throw UsageError(option + " is longer than the " + std::to_string(longest) +
                     " characters winget allows");
}

// PackageIdentifier: 2 to 8 parts of 1 to 32 characters between dots, none of them blank, a
// control character or one of \ / : * ? " < > |.
void CheckIdentifier(const std::string& id) {
  CheckText("--identifier", id, 128);
  size_t parts = 0, length = 0;
  bool good = true;
  for (size_t i = 0; i <= id.size(); ++i) {
    if (i == id.size() || id[i] == '.') {
      good &= length >= 1 && length <= 32;
      ++parts;
      length = 0;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(id[i]);
    good &= c > 0x20 && std::string("\\/:*?\"<>|").find(static_cast<char>(c)) == std::string::npos;
    if ((c & 0xC0) != 0x80) ++length;
  }
  if (!good || parts < 2 || parts > 8)
    throw UsageError("--identifier '" + id +
                     "' is not a winget package identifier: 2 to 8 parts of 1 to 32 characters "
                     "joined by dots (Publisher.Product), without blanks or \\ / : * ? \" < > |");
}

void CheckUrl(const std::string& url) {
  CheckText("--url", url, 2048);
  std::string scheme;
  for (char c : url.substr(0, url.find("://")))
    scheme.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  size_t rest = url.find("://");
  if ((scheme != "http" && scheme != "https") || rest == std::string::npos ||
      rest + 3 >= url.size())
    throw UsageError("--url '" + url + "' is not an http:// or https:// address");
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
    } else if (c == 0x2028 || c == 0x2029 || c == 0xFEFF) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    } else {
      AppendUtf8(out, c);
    }
    at += length;
  }
  return out + "\"";
}

std::string WingetManifest(const WingetOptions& options, const ShippedFacts& facts) {
  CheckIdentifier(options.identifier);
  CheckUrl(options.url);
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
  std::string version =
      options.version.empty() ? package.productVersion.value_or("") : options.version;
  if (version.empty())
    throw UsageError("the package has no ProductVersion: give the version with --version");
  CheckText("--version", version, 128);
  struct Switch {
    const char* key;
    const char* option;
    const std::string& value;
  };
  const Switch switches[] = {
      {"Silent", "--silent", options.silent},
      {"SilentWithProgress", "--silent-with-progress", options.silentWithProgress},
      {"Interactive", "--interactive", options.interactive},
      {"InstallLocation", "--install-location", options.installLocation},
      {"Log", "--log", options.log},
      {"Upgrade", "--upgrade", options.upgrade},
      {"Custom", "--custom", options.custom},
  };
  for (const Switch& s : switches)
    if (!s.value.empty()) CheckText(s.option, s.value, s.key == std::string("Custom") ? 2048 : 512);

  std::ostringstream out;
  out << "# A winget installer manifest made by vossimere-pack from the launcher file.\n"
      << "# yaml-language-server: $schema=https://aka.ms/winget-manifest.installer."
      << kSchemaVersion << ".schema.json\n";
  out << "PackageIdentifier: " << YamlString(options.identifier) << "\n";
  out << "PackageVersion: " << YamlString(version) << "\n";
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
  // Windows Installer's "restart needed" and "restart started" are successes; 0 is winget's
  // own success code and may not be listed.
  out << "InstallerSuccessCodes:\n  - 3010\n  - 1641\n";
  out << "ExpectedReturnCodes:\n";
  for (const OwnCode& c : OwnCodes())
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
  out << "ManifestType: installer\nManifestVersion: " << kSchemaVersion << "\n";
  return out.str();
}

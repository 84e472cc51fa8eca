// winget's manifests (YAML, schema 1.12.0) for a launcher file: the installer manifest (an `exe`
// installer whose switches are the embedded installer's, the launcher's own exit codes and the
// installer's with the responses winget knows, the package's codes for Apps & Features) and, for
// a submission, the version and default-locale manifests beside it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pack/cli/package_report.h"

// The manifest schema written, the newest that winget's community repository takes.
extern const char kWingetSchemaVersion[];

struct WingetOptions {
  std::string identifier;  // PackageIdentifier, e.g. Publisher.Product
  std::string version;     // PackageVersion; ProductVersion when empty
  std::string url;         // InstallerUrl
  std::string silent, silentWithProgress, interactive, log, installLocation, upgrade, custom;
  // The installer's own codes, as given with --return-code CODE=RESPONSE.
  std::vector<std::string> returnCodes;
  // The default-locale manifest's fields; publisher and packageName default to the package's
  // Manufacturer and ProductName.
  std::string locale = "en-US";
  std::string publisher, packageName, license, shortDescription;
};

struct WingetFile {
  std::string name;  // as winget-pkgs names it: <Id>.yaml, <Id>.installer.yaml...
  std::string text;
};

// The installer manifest alone. Throws UsageError, before anything is made, for any value winget's
// schema would refuse, whether from an option or from the package (an identifier not of 2 to 8
// parts, a version holding / or :, a name over 256 characters, a URL over two lines...), and when
// there is no version to give.
std::string WingetManifest(const WingetOptions& options, const ShippedFacts& facts);

// The whole set winget reads: the version manifest, the default-locale manifest and the installer
// manifest, in that order. Throws UsageError as WingetManifest does, and when the default-locale
// manifest's required fields have no source (no --license, no Manufacturer and no --publisher...).
std::vector<WingetFile> WingetManifestSet(const WingetOptions& options, const ShippedFacts& facts);

// A YAML double-quoted scalar of UTF-8 text: quote, backslash, control characters, line and
// paragraph separators, the byte order mark and the non-characters (U+FFFE, U+FFFF, U+FDD0 to
// U+FDEF...) escaped; everything else as it is.
std::string YamlString(const std::string& utf8);

// An exit code and winget's response to it, from "CODE=RESPONSE" (CODE decimal or 0x hex, in
// the schema's range, not 0; RESPONSE one of the schema's values). Throws UsageError.
std::pair<int64_t, std::string> ParseReturnCode(const std::string& text);

// A winget installer manifest (YAML, schema 1.10.0) for a launcher file: an `exe` installer whose
// switches are the embedded installer's, the launcher's own exit codes with the responses winget
// knows, and the package's codes for Apps & Features.
#pragma once

#include <string>

#include "pack/cli/package_report.h"

struct WingetOptions {
  std::string identifier;  // PackageIdentifier, e.g. Publisher.Product
  std::string version;     // PackageVersion; ProductVersion when empty
  std::string url;         // InstallerUrl
  std::string silent, silentWithProgress, interactive, log, installLocation, upgrade, custom;
};

// Throws UsageError for an option the schema would refuse (an identifier not of 2 to 8 parts, a
// URL that is not http or https, a switch of more than 512 characters...), and when there is no
// version to give.
std::string WingetManifest(const WingetOptions& options, const ShippedFacts& facts);

// A YAML double-quoted scalar of UTF-8 text: quote, backslash, control characters, line and
// paragraph separators and the byte order mark escaped; everything else as it is.
std::string YamlString(const std::string& utf8);

// What inspect and the manifests tell about a launcher file as it is shipped: its SHA-256, and the
// fields of the Windows Installer package it carries.
#pragma once

#include <optional>
#include <string>

#include "pack/format/launcher_appearance.h"
#include "pack/format/launcher_reader.h"
#include "pack/format/msi_package.h"

struct ShippedFacts {
  std::optional<std::string> sha256;        // lower-case hex; not for a file of 2 GiB or more
  std::optional<MsiPackageFields> package;  // read from the package the trailer names
  std::string packageProblem;               // why not, when there is a trailer the launcher takes
  // The icon and version information the image shows; nothing when its resources cannot be read.
  std::optional<ShownAppearance> appearance;
};

ShippedFacts ReadShippedFacts(InputFile& file, const LauncherView& view);

// The lines inspect adds to its text ("sha256:", "ProductCode:"..., "icon:", "version:"), values
// shown escaped.
std::string ShippedFactsText(const ShippedFacts& facts);
// The members inspect --json adds, each after a comma: "sha256", "package", "icon" and
// "versionInfo".
std::string ShippedFactsJson(const ShippedFacts& facts);

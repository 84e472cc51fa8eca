#include "pack/cli/package_report.h"

#include <sstream>

#include "pack/format/file_sha256.h"
#include "pack/text/json_text.h"
#include "pack/text/terminal_text.h"

namespace {

struct Field {
  const char* name;
  std::optional<std::string> MsiPackageFields::*value;
};

constexpr Field kFields[] = {
    {"ProductCode", &MsiPackageFields::productCode},
    {"UpgradeCode", &MsiPackageFields::upgradeCode},
    {"ProductVersion", &MsiPackageFields::productVersion},
    {"ProductName", &MsiPackageFields::productName},
    {"Manufacturer", &MsiPackageFields::manufacturer},
    {"ALLUSERS", &MsiPackageFields::allUsers},
    {"MSIINSTALLPERUSER", &MsiPackageFields::installPerUser},
};

void Line(std::ostringstream& out, const std::string& key, const std::string& value) {
  out << key << ':' << std::string(key.size() < 18 ? 18 - key.size() : 1, ' ') << value << '\n';
}

}  // namespace

ShippedFacts ReadShippedFacts(InputFile& file, const LauncherView& view) {
  ShippedFacts facts;
  if (!view.lengthInFormat) return facts;
  facts.sha256 = Sha256OfFile(file);
  if (!view.Accepted()) return facts;
  const AnchorRecord& r = view.record;
  if (uint64_t{r.packageOffset} + r.packageSize > view.fileLength) {
    facts.packageProblem = "the package runs past the end of the file";
    return facts;
  }
  try {
    facts.package = ReadMsiPackageFields(PackageBytes(file, r.packageOffset, r.packageSize));
  } catch (const PackageFormatError& e) {
    facts.packageProblem = e.what();
  } catch (const std::bad_alloc&) {
    facts.packageProblem = "too large to read";
  }
  return facts;
}

std::string ShippedFactsText(const ShippedFacts& facts) {
  std::ostringstream out;
  if (facts.sha256) Line(out, "sha256", *facts.sha256);
  if (!facts.packageProblem.empty())
    Line(out, "package", "not read: " + TerminalText(facts.packageProblem));
  if (!facts.package) return out.str();
  for (const Field& field : kFields) {
    const std::optional<std::string>& value = (*facts.package).*field.value;
    Line(out, field.name, value ? TerminalText(*value) : std::string("(not set)"));
  }
  std::optional<MsiScope> scope = ScopeOf(*facts.package);
  Line(out, "scope",
       scope ? std::string(ScopeName(*scope)) : std::string("not known: ALLUSERS is not 1 or 2"));
  for (const MsiPackageFields::Unconverted& field : facts.package->unconverted)
    Line(out, "warning", TerminalText(UnconvertedWarning(*facts.package, field)));
  return out.str();
}

std::string ShippedFactsJson(const ShippedFacts& facts) {
  std::ostringstream out;
  out << ",\"sha256\":" << (facts.sha256 ? JsonString(*facts.sha256) : "null");
  out << ",\"package\":";
  if (facts.package) {
    out << "{\"problem\":null";
    for (const Field& field : kFields) {
      const std::optional<std::string>& value = (*facts.package).*field.value;
      out << ",\"" << field.name << "\":" << (value ? JsonString(*value) : "null");
    }
    std::optional<MsiScope> scope = ScopeOf(*facts.package);
    out << ",\"scope\":" << (scope ? JsonString(ScopeName(*scope)) : "null");
    out << ",\"warnings\":[";
    const char* comma = "";
    for (const MsiPackageFields::Unconverted& field : facts.package->unconverted) {
      out << comma << JsonString(UnconvertedWarning(*facts.package, field));
      comma = ",";
    }
    out << "]}";
  } else if (!facts.packageProblem.empty()) {
    out << "{\"problem\":" << JsonString(facts.packageProblem) << "}";
  } else {
    out << "null";
  }
  return out.str();
}

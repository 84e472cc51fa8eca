#include "pack/cli/package_report.h"

#include <algorithm>
#include <sstream>

#include "pack/format/file_sha256.h"
#include "pack/text/json_text.h"
#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"

namespace {

void Line(std::ostringstream& out, const std::string& key, const std::string& value) {
  out << key << ':' << std::string(key.size() < 18 ? 18 - key.size() : 1, ' ') << value << '\n';
}

// The icon and version information of the image at the front of `file`.
std::optional<ShownAppearance> ReadImageAppearance(InputFile& file, const LauncherView& view) {
  constexpr uint64_t kLargestImageRead = 64ull << 20;
  if (!view.image) return std::nullopt;
  uint64_t length = std::min({view.image->rawDataEnd, view.fileLength, kLargestImageRead});
  std::vector<uint8_t> image = file.ReadAt(0, static_cast<size_t>(length));
  std::optional<ResourceEntry> tree =
      ReadImageResources(*view.image, image.data(), image.size(), nullptr);
  return tree ? ReadAppearance(*tree) : std::nullopt;
}

std::string IconText(const IconImage& image) {
  return std::to_string(image.width) + "x" + std::to_string(image.height) + " " +
         (image.png        ? std::string("PNG")
          : image.bitCount ? std::to_string(image.bitCount) + "-bit"
                           : "bitmap");
}

std::string LanguageText(uint16_t language) {
  std::string tag = LanguageTag(language);
  static const char digits[] = "0123456789ABCDEF";
  std::string hex = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) hex += digits[(language >> shift) & 15];
  return hex + (tag.empty() ? "" : " (" + tag + ")");
}

void AppearanceText(std::ostringstream& out, const ShownAppearance& shown) {
  std::string icons;
  for (const IconImage& image : shown.icon) icons += (icons.empty() ? "" : ", ") + IconText(image);
  Line(out, "icon", shown.icon.empty() ? std::string("none") : icons);
  if (!shown.version) {
    Line(out, "version", "none");
    return;
  }
  const VersionInfo& v = *shown.version;
  Line(out, "version",
       "file " + VersionNumbersText(v.fileVersion) + ", product " +
           VersionNumbersText(v.productVersion) + ", language " + LanguageText(v.language) +
           ", code page " + std::to_string(v.codePage));
  for (const auto& string : v.strings)
    Line(out, "  " + TerminalText(Utf16ToUtf8(string.first)),
         TerminalText(Utf16ToUtf8(string.second)));
}

void AppearanceJson(std::ostringstream& out, const std::optional<ShownAppearance>& shown) {
  out << ",\"icon\":";
  if (!shown) {
    out << "null,\"versionInfo\":null";
    return;
  }
  out << "[";
  const char* comma = "";
  for (const IconImage& image : shown->icon) {
    out << comma << "{\"width\":" << image.width << ",\"height\":" << image.height
        << ",\"bitCount\":" << image.bitCount << ",\"png\":" << (image.png ? "true" : "false")
        << "}";
    comma = ",";
  }
  out << "],\"versionInfo\":";
  if (!shown->version) {
    out << "null";
    return;
  }
  const VersionInfo& v = *shown->version;
  out << "{\"fileVersion\":" << JsonString(VersionNumbersText(v.fileVersion))
      << ",\"productVersion\":" << JsonString(VersionNumbersText(v.productVersion))
      << ",\"language\":" << v.language << ",\"codePage\":" << v.codePage << ",\"strings\":{";
  comma = "";
  for (const auto& string : v.strings) {
    out << comma << JsonString(Utf16ToUtf8(string.first)) << ":"
        << JsonString(Utf16ToUtf8(string.second));
    comma = ",";
  }
  out << "}}";
}

}  // namespace

ShippedFacts ReadShippedFacts(InputFile& file, const LauncherView& view) {
  ShippedFacts facts;
  if (view.lengthInFormat) facts.appearance = ReadImageAppearance(file, view);
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
  if (facts.appearance) AppearanceText(out, *facts.appearance);
  if (facts.sha256) Line(out, "sha256", *facts.sha256);
  if (!facts.packageProblem.empty())
    Line(out, "package", "not read: " + TerminalText(facts.packageProblem));
  if (!facts.package) return out.str();
  for (const MsiPackageField& field : kMsiPackageFields) {
    const std::optional<std::string>& value = (*facts.package).*field.value;
    Line(out, field.property, value ? TerminalText(*value) : std::string("(not set)"));
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
  AppearanceJson(out, facts.appearance);
  out << ",\"sha256\":" << (facts.sha256 ? JsonString(*facts.sha256) : "null");
  out << ",\"package\":";
  if (facts.package) {
    out << "{\"problem\":null";
    for (const MsiPackageField& field : kMsiPackageFields) {
      const std::optional<std::string>& value = (*facts.package).*field.value;
      out << ",\"" << field.property << "\":" << (value ? JsonString(*value) : "null");
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

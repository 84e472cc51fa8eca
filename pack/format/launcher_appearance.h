// What a launcher file shows of itself before it runs: the icon Explorer draws and the version
// information its Properties list. The publisher may replace both with their own; the launcher's
// string table, menu and manifest, which it loads and needs, are never touched.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pack/format/pe_image.h"
#include "pack/format/resource_tree.h"

// An icon file larger than this is refused: a full set of sizes up to 256 pixels, uncompressed,
// stays well below it.
constexpr uint64_t kLargestIconFile = 8u << 20;

// One image of an icon, as its directory entry and its own header describe it.
struct IconImage {
  uint32_t width = 0;  // 1 to 256
  uint32_t height = 0;
  uint16_t bitCount = 0;            // as the directory entry says; 0 when it does not say
  bool png = false;                 // PNG-compressed (usually the 256-pixel image)
  std::array<uint8_t, 12> entry{};  // the directory entry's first 12 bytes, copied to the group
  std::vector<uint8_t> data;
};

// The images of an .ico file. Throws PackError naming `name` when the file is empty, cut short,
// damaged, or larger than kLargestIconFile.
std::vector<IconImage> ReadIconFile(const std::vector<uint8_t>& bytes, const std::string& name);

// Version information: the fixed numbers and one table of strings in one language, code page
// 1200 (UTF-16), as the resource compiler writes it.
struct VersionInfo {
  std::array<uint16_t, 4> fileVersion{};
  std::array<uint16_t, 4> productVersion{};
  uint16_t language = 0x0409;
  uint16_t codePage = 1200;
  std::vector<std::pair<std::u16string, std::u16string>> strings;  // name and value, in order
};

std::vector<uint8_t> EncodeVersionInfo(const VersionInfo& info);
// The fixed numbers, the first string table and the first translation; nothing when `bytes` are
// not a well-formed VS_VERSIONINFO.
std::optional<VersionInfo> DecodeVersionInfo(const uint8_t* bytes, size_t size);

// "1.2.3.4": one to four decimal numbers from 0 to 65535, the missing ones 0. Nothing, with the
// reason in `problem`, otherwise.
std::optional<std::array<uint16_t, 4>> ParseVersionNumbers(const std::string& text,
                                                           std::string* problem);
std::string VersionNumbersText(const std::array<uint16_t, 4>& numbers);
// A language as a tag ("en-US", "ja-JP") or a Windows language id ("0x0409", "0409") from the
// table of languages the tool knows; nothing for any other.
std::optional<uint16_t> ParseLanguage(const std::string& text);
// The tag of a known language id, e.g. "en-US"; "" for another.
std::string LanguageTag(uint16_t language);
// Why `value` cannot stand in version information (control characters, too long), or nothing.
std::optional<std::string> VersionStringProblem(const std::u16string& value);

struct LauncherAppearance {
  std::vector<IconImage> icon;         // empty: the launcher's own
  std::optional<VersionInfo> version;  // nothing: the launcher's own
  bool Changes() const { return !icon.empty() || version.has_value(); }
};

// `image` (the launcher's executable) with the icon group IDI_APP_ICON and its images and the
// version information replaced as `appearance` asks, the resource section rebuilt
// (RebuildResourceSection). Throws PackError when the launcher's resources are not as expected.
std::vector<uint8_t> ApplyAppearance(const std::vector<uint8_t>& image,
                                     const LauncherAppearance& appearance);

// What an image shows: the icon group's images and the version information.
struct ShownAppearance {
  std::vector<IconImage> icon;  // sizes and kinds only; `data` left empty
  std::optional<VersionInfo> version;
};
std::optional<ShownAppearance> ReadAppearance(const ResourceEntry& tree);

// The launcher's menu resource as its resource script defines it.
std::vector<uint8_t> LauncherMenuBytes();
// The launcher's manifest, as the launcher carries it.
std::vector<uint8_t> LauncherManifestBytes();

// Nothing when the image's resource tree is well formed and inside its section and, in an image
// whose resources have a section of their own (the launcher as linked), the menu and the manifest
// are the launcher's byte for byte and the icon group names only icons that are there; otherwise
// the first problem. An image with no resource directory is left to LauncherImageProblem.
std::optional<std::string> LauncherResourceProblem(const PeImage& image, const uint8_t* bytes,
                                                   size_t size);

#include "pack/format/launcher_appearance.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "launch/anchor_record.h"
#include "pack/io/pack_error.h"
#include "resources/resource_ids.h"

namespace {

constexpr size_t kIconHeaderSize = 6;
constexpr size_t kIconEntrySize = 16;
constexpr size_t kGroupEntrySize = 14;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr size_t kFixedInfoSize = 52;
constexpr size_t kLongestVersionString = 1024;  // UTF-16 units
constexpr uint32_t kVersionResource = 1;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The manifest's bytes, generated from resources/vossimere.manifest by the build.
constexpr uint8_t kManifest[] = {
#include "launcher_manifest_bytes.inc"
};

void Store16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Append16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  Append16(out, value & 0xFFFF);
  Append16(out, value >> 16);
}

void AppendText(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t c : text) Append16(out, c);
  Append16(out, 0);
}

void Align4(std::vector<uint8_t>& out) {
  while (out.size() % 4) out.push_back(0);
}

uint32_t LoadBigU32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// A version block: key, value, children, as VS_VERSIONINFO nests them.
struct Block {
  std::u16string key;
  uint16_t valueLength = 0;  // in bytes for binary values, in UTF-16 units for text
  uint16_t type = 0;         // 1 text, 0 binary
  std::vector<uint8_t> value;
  std::vector<Block> children;
};

void EncodeBlock(const Block& block, std::vector<uint8_t>& out) {
  Align4(out);
  size_t start = out.size();
  Append16(out, 0);  // wLength, set below
  Append16(out, block.valueLength);
  Append16(out, block.type);
  AppendText(out, block.key);
  Align4(out);
  out.insert(out.end(), block.value.begin(), block.value.end());
  for (const Block& child : block.children) EncodeBlock(child, out);
  Store16(out, start, static_cast<uint32_t>(out.size() - start));
}

// The block at `at` of `bytes` (offsets counted from the resource's start, which is 4-aligned).
std::optional<Block> DecodeBlock(const uint8_t* bytes, size_t end, size_t at, int depth) {
  if (depth > 4 || at + 6 > end) return std::nullopt;
  size_t length = LoadU16(bytes + at);
  if (length < 6 || at + length > end) return std::nullopt;
  size_t blockEnd = at + length;
  Block block;
  block.valueLength = LoadU16(bytes + at + 2);
  block.type = LoadU16(bytes + at + 4);
  size_t p = at + 6;
  for (;; p += 2) {
    if (p + 2 > blockEnd) return std::nullopt;
    char16_t c = static_cast<char16_t>(LoadU16(bytes + p));
    if (c == 0) break;
    block.key += c;
  }
  p = (p + 2 + 3) & ~size_t{3};
  size_t valueBytes = block.type == 1 ? 2u * block.valueLength : block.valueLength;
  if (p > blockEnd) p = blockEnd;
  valueBytes = std::min(valueBytes, blockEnd - p);
  block.value.assign(bytes + p, bytes + p + valueBytes);
  p = (p + valueBytes + 3) & ~size_t{3};
  while (p + 6 <= blockEnd) {
    std::optional<Block> child = DecodeBlock(bytes, blockEnd, p, depth + 1);
    if (!child) return std::nullopt;
    p = (p + LoadU16(bytes + p) + 3) & ~size_t{3};
    block.children.push_back(std::move(*child));
  }
  return block;
}

std::u16string TextValue(const std::vector<uint8_t>& value) {
  std::u16string text;
  for (size_t i = 0; i + 1 < value.size(); i += 2) {
    char16_t c = static_cast<char16_t>(LoadU16(&value[i]));
    if (c == 0) break;
    text += c;
  }
  return text;
}

std::u16string HexKey(uint16_t language, uint16_t codePage) {
  static const char digits[] = "0123456789abcdef";
  std::u16string key;
  uint32_t both = uint32_t{language} << 16 | codePage;
  for (int shift = 28; shift >= 0; shift -= 4)
    key += static_cast<char16_t>(digits[(both >> shift) & 15]);
  return key;
}

struct Language {
  uint16_t id;
  const char* tag;
};

// The languages a publisher is likely to describe a download in.
constexpr Language kLanguages[] = {
    {0x0000, "neutral"}, {0x0401, "ar-SA"}, {0x0402, "bg-BG"}, {0x0403, "ca-ES"}, {0x0404, "zh-TW"},
    {0x0405, "cs-CZ"},   {0x0406, "da-DK"}, {0x0407, "de-DE"}, {0x0408, "el-GR"}, {0x0409, "en-US"},
    {0x040B, "fi-FI"},   {0x040C, "fr-FR"}, {0x040D, "he-IL"}, {0x040E, "hu-HU"}, {0x0410, "it-IT"},
    {0x0411, "ja-JP"},   {0x0412, "ko-KR"}, {0x0413, "nl-NL"}, {0x0414, "nb-NO"}, {0x0415, "pl-PL"},
    {0x0416, "pt-BR"},   {0x0418, "ro-RO"}, {0x0419, "ru-RU"}, {0x041A, "hr-HR"}, {0x041B, "sk-SK"},
    {0x041D, "sv-SE"},   {0x041E, "th-TH"}, {0x041F, "tr-TR"}, {0x0421, "id-ID"}, {0x0422, "uk-UA"},
    {0x0424, "sl-SI"},   {0x0425, "et-EE"}, {0x0426, "lv-LV"}, {0x0427, "lt-LT"}, {0x042A, "vi-VN"},
    {0x0439, "hi-IN"},   {0x0804, "zh-CN"}, {0x0807, "de-CH"}, {0x0809, "en-GB"}, {0x080A, "es-MX"},
    {0x080C, "fr-BE"},   {0x0813, "nl-BE"}, {0x0816, "pt-PT"}, {0x0C07, "de-AT"}, {0x0C09, "en-AU"},
    {0x0C0A, "es-ES"},   {0x0C0C, "fr-CA"}, {0x1009, "en-CA"}, {0x100C, "fr-CH"},
};

bool SameLetters(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
    if ((x == '_' ? '-' : x) != y) return false;
  }
  return true;
}

// The image header's own size, checked: nothing when it is neither a PNG nor a DIB of an icon.
bool ReadImageHeader(const std::vector<uint8_t>& data, IconImage& image) {
  if (data.size() >= 33 && std::equal(kPngSignature, kPngSignature + 8, data.begin())) {
    if (LoadBigU32(&data[8]) != 13 || std::memcmp(&data[12], "IHDR", 4) != 0) return false;
    image.png = true;
    image.width = LoadBigU32(&data[16]);
    image.height = LoadBigU32(&data[20]);
  } else {
    if (data.size() < 40) return false;
    uint32_t headerSize = LoadU32(&data[0]);
    if (headerSize != 40 && headerSize != 108 && headerSize != 124) return false;
    int32_t width = static_cast<int32_t>(LoadU32(&data[4]));
    int32_t height = static_cast<int32_t>(LoadU32(&data[8]));
    uint16_t planes = LoadU16(&data[12]);
    uint16_t bits = LoadU16(&data[14]);
    if (planes != 1 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
      return false;
    if (width <= 0 || height <= 0 || height % 2) return false;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height / 2);  // the colour and the mask bitmaps
    // The colour bitmap and the mask, each row padded to 4 bytes, must be there.
    uint64_t colour = (uint64_t{image.width} * bits + 31) / 32 * 4 * image.height;
    uint64_t mask = (uint64_t{image.width} + 31) / 32 * 4 * image.height;
    uint64_t palette = bits <= 8 ? (uint64_t{4} << bits) : 0;
    if (headerSize + palette + colour + mask > data.size()) return false;
  }
  return image.width >= 1 && image.width <= 256 && image.height >= 1 && image.height <= 256;
}

const uint8_t* DataOf(const ResourceEntry* entry) {
  return entry && !entry->data.empty() ? entry->data.data() : nullptr;
}

// The images a group resource names: (entry bytes, icon id).
std::vector<std::pair<std::array<uint8_t, 12>, uint16_t>> GroupEntries(
    const std::vector<uint8_t>& group) {
  std::vector<std::pair<std::array<uint8_t, 12>, uint16_t>> entries;
  if (group.size() < kIconHeaderSize || LoadU16(&group[0]) != 0 || LoadU16(&group[2]) != 1)
    return entries;
  size_t count = LoadU16(&group[4]);
  if (kIconHeaderSize + count * kGroupEntrySize > group.size()) return entries;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* at = &group[kIconHeaderSize + i * kGroupEntrySize];
    std::array<uint8_t, 12> entry;
    std::copy(at, at + 12, entry.begin());
    entries.emplace_back(entry, LoadU16(at + 12));
  }
  return entries;
}

}  // namespace

std::vector<IconImage> ReadIconFile(const std::vector<uint8_t>& bytes, const std::string& name) {
  if (bytes.empty()) throw PackError(name + " is empty");
  if (bytes.size() > kLargestIconFile)
    throw PackError(name + " is " + std::to_string(bytes.size()) + " bytes, more than the " +
                    std::to_string(kLargestIconFile) + " an icon file may have");
  if (bytes.size() < kIconHeaderSize || LoadU16(&bytes[0]) != 0 || LoadU16(&bytes[2]) != 1)
    throw PackError(name + " is not an icon (.ico) file: it does not start with an icon header");
  size_t count = LoadU16(&bytes[4]);
  if (count == 0) throw PackError(name + " holds no image");
  if (kIconHeaderSize + count * kIconEntrySize > bytes.size())
    throw PackError(name + " is cut short: its " + std::to_string(count) +
                    " image entries run past its end");
  std::vector<IconImage> images;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = &bytes[kIconHeaderSize + i * kIconEntrySize];
    uint32_t size = LoadU32(entry + 8);
    uint32_t offset = LoadU32(entry + 12);
    std::string which = name + ": image " + std::to_string(i + 1) + " of " + std::to_string(count);
    if (size == 0 || offset > bytes.size() || size > bytes.size() - offset)
      throw PackError(which + " (" + std::to_string(size) + " bytes at byte " +
                      std::to_string(offset) + ") runs past the end of the file: cut short?");
    IconImage image;
    std::copy(entry, entry + 12, image.entry.begin());
    image.bitCount = LoadU16(entry + 6);
    image.data.assign(bytes.begin() + offset, bytes.begin() + offset + size);
    if (!ReadImageHeader(image.data, image))
      throw PackError(which + " is damaged: neither a PNG image nor an icon bitmap of 1 to 256 "
                              "pixels with all its rows");
    images.push_back(std::move(image));
  }
  return images;
}

std::vector<uint8_t> EncodeVersionInfo(const VersionInfo& info) {
  Block root{u"VS_VERSION_INFO", kFixedInfoSize, 0, {}, {}};
  Append32(root.value, kFixedInfoSignature);
  Append32(root.value, 0x00010000);  // structure version 1.0
  Append32(root.value, uint32_t{info.fileVersion[0]} << 16 | info.fileVersion[1]);
  Append32(root.value, uint32_t{info.fileVersion[2]} << 16 | info.fileVersion[3]);
  Append32(root.value, uint32_t{info.productVersion[0]} << 16 | info.productVersion[1]);
  Append32(root.value, uint32_t{info.productVersion[2]} << 16 | info.productVersion[3]);
  Append32(root.value, 0x3F);     // flags mask
  Append32(root.value, 0);        // flags
  Append32(root.value, 0x40004);  // VOS_NT_WINDOWS32
  Append32(root.value, 1);        // VFT_APP
  Append32(root.value, 0);        // subtype
  Append32(root.value, 0);        // date
  Append32(root.value, 0);
  Block table{HexKey(info.language, info.codePage), 0, 1, {}, {}};
  for (const auto& string : info.strings) {
    Block value{string.first, static_cast<uint16_t>(string.second.size() + 1), 1, {}, {}};
    AppendText(value.value, string.second);
    table.children.push_back(std::move(value));
  }
  Block strings{u"StringFileInfo", 0, 1, {}, {std::move(table)}};
  Block translation{u"Translation", 4, 0, {}, {}};
  Append16(translation.value, info.language);
  Append16(translation.value, info.codePage);
  Block vars{u"VarFileInfo", 0, 1, {}, {std::move(translation)}};
  root.children.push_back(std::move(strings));
  root.children.push_back(std::move(vars));
  std::vector<uint8_t> out;
  EncodeBlock(root, out);
  return out;
}

std::optional<VersionInfo> DecodeVersionInfo(const uint8_t* bytes, size_t size) {
  std::optional<Block> root = DecodeBlock(bytes, size, 0, 0);
  if (!root || root->key != u"VS_VERSION_INFO" || root->value.size() < kFixedInfoSize ||
      LoadU32(root->value.data()) != kFixedInfoSignature)
    return std::nullopt;
  VersionInfo info;
  const uint8_t* fixed = root->value.data();
  for (int i = 0; i < 2; ++i) {
    uint32_t high = LoadU32(fixed + 8 + 8 * i), low = LoadU32(fixed + 12 + 8 * i);
    std::array<uint16_t, 4>& numbers = i == 0 ? info.fileVersion : info.productVersion;
    numbers = {static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high),
               static_cast<uint16_t>(low >> 16), static_cast<uint16_t>(low)};
  }
  bool translated = false;
  for (const Block& child : root->children) {
    if (child.key == u"StringFileInfo" && !child.children.empty() && info.strings.empty()) {
      for (const Block& string : child.children.front().children)
        info.strings.emplace_back(string.key, TextValue(string.value));
      const std::u16string& key = child.children.front().key;
      if (key.size() == 8 && !translated) {
        std::string ascii(key.begin(), key.end());
        unsigned long both = std::strtoul(ascii.c_str(), nullptr, 16);
        info.language = static_cast<uint16_t>(both >> 16);
        info.codePage = static_cast<uint16_t>(both);
      }
    }
    if (child.key == u"VarFileInfo") {
      for (const Block& var : child.children) {
        if (var.key == u"Translation" && var.value.size() >= 4) {
          info.language = LoadU16(&var.value[0]);
          info.codePage = LoadU16(&var.value[2]);
          translated = true;
        }
      }
    }
  }
  return info;
}

std::optional<std::array<uint16_t, 4>> ParseVersionNumbers(const std::string& text,
                                                           std::string* problem) {
  std::array<uint16_t, 4> numbers{};
  size_t part = 0, at = 0;
  auto fail = [&](const std::string& why) -> std::optional<std::array<uint16_t, 4>> {
    if (problem) *problem = why;
    return std::nullopt;
  };
  while (true) {
    if (part == 4) return fail("has more than four numbers");
    size_t start = at;
    uint32_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6)
      value = value * 10 + static_cast<uint32_t>(text[at++] - '0');
    if (at == start) return fail("is not one to four numbers separated by dots, e.g. 1.2.3.4");
    if (value > 65535 || (at < text.size() && text[at] >= '0' && text[at] <= '9'))
      return fail("has the number " + text.substr(start, text.find('.', start) - start) +
                  ", more than 65535, which Windows keeps in 16 bits");
    numbers[part++] = static_cast<uint16_t>(value);
    if (at == text.size()) return numbers;
    if (text[at] != '.') return fail("is not one to four numbers separated by dots, e.g. 1.2.3.4");
    ++at;
  }
}

std::string VersionNumbersText(const std::array<uint16_t, 4>& numbers) {
  return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
         std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
}

std::optional<uint16_t> ParseLanguage(const std::string& text) {
  for (const Language& language : kLanguages)
    if (SameLetters(text, language.tag)) return language.id;
  std::string digits = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')
                           ? text.substr(2)
                           : text;
  if (digits.size() != 4 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  uint16_t id = static_cast<uint16_t>(std::stoul(digits, nullptr, 16));
  for (const Language& language : kLanguages)
    if (language.id == id) return id;
  return std::nullopt;
}

std::string LanguageTag(uint16_t id) {
  for (const Language& language : kLanguages)
    if (language.id == id) return language.tag;
  return "";
}

std::optional<std::string> VersionStringProblem(const std::u16string& value) {
  if (value.empty()) return std::string("is empty");
  if (value.size() > kLongestVersionString)
    return "is longer than " + std::to_string(kLongestVersionString) + " characters";
  for (char16_t c : value)
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
      return std::string("has a control character, which Explorer would show as a box or not "
                         "at all");
  return std::nullopt;
}

std::vector<uint8_t> ApplyAppearance(const std::vector<uint8_t>& bytes,
                                     const LauncherAppearance& appearance) {
  std::string problem;
  std::optional<PeImage> image = ReadPeImage(bytes.data(), bytes.size(), &problem);
  if (!image) throw PackError("the launcher is not a PE32+ image: " + problem);
  std::optional<ResourceEntry> tree =
      ReadImageResources(*image, bytes.data(), bytes.size(), &problem);
  if (!tree) throw PackError("the launcher's resources cannot be read: " + problem);

  if (!appearance.icon.empty()) {
    ResourceEntry* groups = tree->Find(kRtGroupIcon);
    ResourceEntry* group = groups ? groups->Find(IDI_APP_ICON) : nullptr;
    if (!group || group->children.empty())
      throw PackError("the launcher has no icon group " + std::to_string(IDI_APP_ICON));
    ResourceEntry& language = group->children.front();
    ResourceEntry& icons = tree->FindOrAdd(kRtIcon);
    std::set<uint32_t> oldIds;
    for (const auto& entry : GroupEntries(language.data)) oldIds.insert(entry.second);
    icons.children.erase(std::remove_if(icons.children.begin(), icons.children.end(),
                                        [&](const ResourceEntry& icon) {
                                          return !icon.IsNamed() && oldIds.count(icon.id);
                                        }),
                         icons.children.end());
    if (appearance.icon.size() > 0xFFFF) throw PackError("the icon has too many images");
    std::vector<uint8_t> groupData;
    Append16(groupData, 0);
    Append16(groupData, 1);
    Append16(groupData, static_cast<uint32_t>(appearance.icon.size()));
    uint32_t nextId = 1;
    for (const IconImage& icon : appearance.icon) {
      while (icons.Find(nextId)) ++nextId;
      if (nextId > 0xFFFF) throw PackError("the launcher has no icon number left");
      ResourceEntry& named = icons.FindOrAdd(nextId);
      ResourceEntry data;
      data.id = language.id;
      data.codePage = language.codePage;
      data.data = icon.data;
      named.children.push_back(std::move(data));
      groupData.insert(groupData.end(), icon.entry.begin(), icon.entry.end());
      Append16(groupData, nextId);
    }
    language.data = groupData;
  }
  if (appearance.version) {
    ResourceEntry& versions = tree->FindOrAdd(kRtVersion);
    ResourceEntry& named = versions.FindOrAdd(kVersionResource);
    uint32_t codePage = named.children.empty() ? 0 : named.children.front().codePage;
    ResourceEntry data;
    data.id = appearance.version->language;
    data.codePage = codePage;
    data.data = EncodeVersionInfo(*appearance.version);
    if (data.data.size() > 0xFFFF) throw PackError("the version information is too long");
    named.children.clear();
    named.children.push_back(std::move(data));
  }
  return RebuildResourceSection(bytes, *tree);
}

std::optional<ShownAppearance> ReadAppearance(const ResourceEntry& tree) {
  ShownAppearance shown;
  const ResourceEntry* group = FindResourceData(tree, kRtGroupIcon, IDI_APP_ICON);
  if (group) {
    for (const auto& entry : GroupEntries(group->data)) {
      IconImage image;
      image.entry = entry.first;
      image.width = entry.first[0] ? entry.first[0] : 256;
      image.height = entry.first[1] ? entry.first[1] : 256;
      image.bitCount = static_cast<uint16_t>(entry.first[6] | entry.first[7] << 8);
      const ResourceEntry* icon = FindResourceData(tree, kRtIcon, entry.second);
      image.png = icon && icon->data.size() >= 8 &&
                  std::equal(kPngSignature, kPngSignature + 8, icon->data.begin());
      shown.icon.push_back(image);
    }
  }
  if (const ResourceEntry* version = FindResourceData(tree, kRtVersion, kVersionResource))
    shown.version = DecodeVersionInfo(DataOf(version), version->data.size());
  return shown;
}

std::vector<uint8_t> LauncherMenuBytes() {
  constexpr uint32_t kPopup = 0x10, kEnd = 0x80;
  std::vector<uint8_t> menu;
  Append16(menu, 0);  // version
  Append16(menu, 0);  // header size
  Append16(menu, kPopup | kEnd);
  AppendText(menu, u"ファイル(&F)");
  Append16(menu, kEnd);
  Append16(menu, IDM_EXIT);
  AppendText(menu, u"アプリケーションの終了(&X)");
  return menu;
}

std::vector<uint8_t> LauncherManifestBytes() {
  return std::vector<uint8_t>(kManifest, kManifest + sizeof kManifest);
}

std::optional<std::string> LauncherResourceProblem(const PeImage& image, const uint8_t* bytes,
                                                   size_t size) {
  std::optional<ResourceSectionPlace> place = FindResourceSection(image);
  if (!place) return std::nullopt;
  std::string problem;
  std::optional<ResourceEntry> tree = ReadImageResources(image, bytes, size, &problem);
  if (!tree) return problem;
  if (place->rootOffset != 0) return std::nullopt;
  const ResourceEntry* menu = FindResourceData(*tree, kRtMenu, IDR_MAIN_MENU);
  if (!menu || menu->data != LauncherMenuBytes())
    return std::string(menu ? "its menu is not the launcher's"
                            : "it has no menu " + std::to_string(IDR_MAIN_MENU));
  const ResourceEntry* manifest = FindResourceData(*tree, kRtManifest, 1);
  if (!manifest || manifest->data != LauncherManifestBytes())
    return std::string(manifest ? "its manifest is not the launcher's" : "it has no manifest");
  const ResourceEntry* group = FindResourceData(*tree, kRtGroupIcon, IDI_APP_ICON);
  if (!group) return "it has no icon group " + std::to_string(IDI_APP_ICON);
  std::vector<std::pair<std::array<uint8_t, 12>, uint16_t>> entries = GroupEntries(group->data);
  if (entries.empty()) return "its icon group " + std::to_string(IDI_APP_ICON) + " is damaged";
  for (const auto& entry : entries)
    if (!FindResourceData(*tree, kRtIcon, entry.second))
      return "its icon group names icon " + std::to_string(entry.second) + ", which it lacks";
  if (const ResourceEntry* version = FindResourceData(*tree, kRtVersion, kVersionResource))
    if (!DecodeVersionInfo(DataOf(version), version->data.size()))
      return std::string("its version information is damaged");
  return std::nullopt;
}

#include "pack/format/launcher_resources.h"

#include <algorithm>
#include <vector>

#include "launch/anchor_record.h"
#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"
#include "resources/resource_ids.h"

namespace {

constexpr uint32_t kRtString = 6;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr uint32_t kStringsPerBlock = 16;

// The resource section as the loader sees it: offsets in the tree are relative to its start.
struct ResourceTree {
  const uint8_t* bytes;
  uint64_t root;  // file offset of the root directory
  uint64_t end;   // file offset where the section's file data ends

  bool Fits(uint64_t at, uint64_t count) const { return at <= end && count <= end - at; }

  // The entry with numeric id `id` in the directory at tree offset `directory` (or, with
  // `anyId`, the first entry): its offset field, or nothing.
  std::optional<uint32_t> Find(uint32_t directory, uint32_t id, bool anyId) const {
    uint64_t at = root + directory;
    if (!Fits(at, kDirectoryHeaderSize)) return std::nullopt;
    uint32_t named = LoadU16(bytes + at + 12);
    uint32_t numbered = LoadU16(bytes + at + 14);
    for (uint32_t i = named; i < named + numbered; ++i) {
      uint64_t entry = at + kDirectoryHeaderSize + uint64_t{i} * kDirectoryEntrySize;
      if (!Fits(entry, kDirectoryEntrySize)) return std::nullopt;
      if (anyId || LoadU32(bytes + entry) == id) return LoadU32(bytes + entry + 4);
    }
    return std::nullopt;
  }
};

// The sixteen strings of one string-table block: each a length in UTF-16 units, then the units.
std::optional<std::vector<std::u16string>> ReadStringBlock(const uint8_t* bytes, uint64_t size) {
  std::vector<std::u16string> strings;
  uint64_t at = 0;
  for (uint32_t i = 0; i < kStringsPerBlock; ++i) {
    if (at + 2 > size) return std::nullopt;
    uint32_t length = LoadU16(bytes + at);
    at += 2;
    if (at + 2ull * length > size) return std::nullopt;
    std::u16string text;
    for (uint32_t c = 0; c < length; ++c)
      text += static_cast<char16_t>(LoadU16(bytes + at + 2 * c));
    at += 2ull * length;
    strings.push_back(text);
  }
  return strings;
}

}  // namespace

std::optional<std::string> LauncherImageProblem(const PeImage& image, const uint8_t* bytes,
                                                size_t size) {
  PeDataDirectory directory = image.Directory(kResourceDirectory);
  std::optional<uint64_t> root =
      directory.address ? FileOffsetOfRva(image, directory.address) : std::nullopt;
  if (!root || *root >= size) return "it carries no resources";
  uint64_t end = size;
  for (const PeSection& section : image.sections) {
    if (*root >= section.pointerToRawData &&
        *root - section.pointerToRawData < section.sizeOfRawData)
      end = std::min<uint64_t>(size, uint64_t{section.pointerToRawData} + section.sizeOfRawData);
  }
  ResourceTree tree{bytes, *root, end};

  // String id n lives in block n / 16 + 1, entry n % 16; both of ours are in one block.
  const uint32_t block = IDS_WINDOW_TITLE / kStringsPerBlock + 1;
  // Type, then name, then language (any: the launcher's strings are Japanese only).
  std::optional<uint32_t> language;
  std::optional<uint32_t> strings = tree.Find(0, kRtString, false);
  if (strings && (*strings & kSubdirectoryFlag)) {
    std::optional<uint32_t> named = tree.Find(*strings & ~kSubdirectoryFlag, block, false);
    if (named && (*named & kSubdirectoryFlag))
      language = tree.Find(*named & ~kSubdirectoryFlag, 0, true);
  }
  if (!language || (*language & kSubdirectoryFlag) || !tree.Fits(*root + *language, kDataEntrySize))
    return "its string table has no block " + std::to_string(block) +
           ", where the launcher keeps its window title and class name";
  const uint8_t* entry = bytes + *root + *language;
  std::optional<uint64_t> data = FileOffsetOfRva(image, LoadU32(entry));
  uint32_t dataSize = LoadU32(entry + 4);
  std::optional<std::vector<std::u16string>> texts;
  if (data && *data <= size && dataSize <= size - *data)
    texts = ReadStringBlock(bytes + *data, dataSize);
  if (!texts) return "its string table block " + std::to_string(block) + " cannot be read";

  const struct {
    uint32_t id;
    const char16_t* text;
  } expected[] = {{IDS_WINDOW_TITLE, u"Vossimere"}, {IDS_WINDOW_CLASS, u"VOSSIMERE"}};
  for (const auto& want : expected) {
    const std::u16string& found = (*texts)[want.id % kStringsPerBlock];
    if (found != want.text)
      return "its string " + std::to_string(want.id) + " is \"" + TerminalText(Utf16ToUtf8(found)) +
             "\", not the launcher's \"" + Utf16ToUtf8(want.text) + "\"";
  }
  return std::nullopt;
}

// The resource tree of a PE image (its .rsrc section), read into memory and written back: the
// three levels the loader walks (type, name, language), entries by number or by name, and the
// data each language entry holds. Rebuilding an image's resource section moves the sections after
// it and puts the headers right, so the loader maps the result as it mapped the original.
// Platform-free: works on the image's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/format/pe_image.h"

constexpr uint32_t kRtIcon = 3;
constexpr uint32_t kRtMenu = 4;
constexpr uint32_t kRtString = 6;
constexpr uint32_t kRtGroupIcon = 14;
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kRtManifest = 24;

// One entry of a directory: named when `name` is not empty, else numbered by `id`. An entry of the
// type and name levels holds a directory (`children`); one of the language level holds data.
struct ResourceEntry {
  uint32_t id = 0;
  std::u16string name;
  // A directory's own header fields, kept as they were read.
  uint32_t characteristics = 0;
  uint32_t timeDateStamp = 0;
  uint16_t majorVersion = 0;
  uint16_t minorVersion = 0;
  std::vector<ResourceEntry> children;
  // A language entry's data and code page.
  std::vector<uint8_t> data;
  uint32_t codePage = 0;

  bool IsNamed() const { return !name.empty(); }
  // The numbered child `id`, or null.
  ResourceEntry* Find(uint32_t id);
  const ResourceEntry* Find(uint32_t id) const;
  // The numbered child `id`, added in order when there is none.
  ResourceEntry& FindOrAdd(uint32_t id);
};

// The data of type `type`, name `id`, in its first language; null when there is none.
const ResourceEntry* FindResourceData(const ResourceEntry& root, uint32_t type, uint32_t id);

// Reads the tree whose root directory is at `rootOffset` in `section` (the bytes of the section
// that holds it, mapped at RVA `sectionRva`). Every directory, name and data block must lie inside
// the section after the root, the tree must have exactly three levels, and each directory's entries
// must be named first and then numbered in ascending order, as the loader's search needs. Returns
// nothing and says why in `problem` otherwise.
std::optional<ResourceEntry> ReadResourceTree(const uint8_t* section, size_t size,
                                              uint32_t sectionRva, uint32_t rootOffset,
                                              std::string* problem);

// The tree as a section's contents mapped at `sectionRva`: every directory (root, types, names),
// then every data entry, then the names, then the data blocks each at a multiple of 8. Entries are
// written named first, then by ascending number, whatever order `root` holds them in.
std::vector<uint8_t> WriteResourceTree(const ResourceEntry& root, uint32_t sectionRva);

// The section holding the image's resource tree, which must start it; nothing when the image has
// no resource directory.
struct ResourceSectionPlace {
  size_t index = 0;  // in image.sections
  uint32_t rootOffset = 0;
};
std::optional<ResourceSectionPlace> FindResourceSection(const PeImage& image);

// The tree of `bytes` (an image file holding at least its sections), or nothing with `problem`.
std::optional<ResourceEntry> ReadImageResources(const PeImage& image, const uint8_t* bytes,
                                                size_t size, std::string* problem);

// `bytes` with its resource section replaced by `tree`: the section grown or shrunk to the file
// alignment, every section after it moved by whole section and file alignments, the base
// relocation directory moved with its section, the section table, SizeOfImage,
// SizeOfInitializedData, the resource directory entry and the checksum set. Throws PackError when
// the image cannot be rebuilt safely: the tree does not start its section, a section after it
// holds anything but the base relocations, a relocation block is damaged, a fix-up stands in the
// resources or a section after them or adjusts an address pointing there, or the image is signed
// or carries a symbol table.
std::vector<uint8_t> RebuildResourceSection(const std::vector<uint8_t>& bytes,
                                            const ResourceEntry& tree);

#include "pack/format/resource_tree.h"

#include <algorithm>
#include <cstdio>

#include "launch/anchor_record.h"
#include "pack/format/pe_checksum.h"
#include "pack/io/pack_error.h"

namespace {

constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kNameFlag = 0x80000000u;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr int kLevels = 3;  // type, name, language
// More entries than any image needs: a bound on a hostile directory's count.
constexpr uint32_t kMostEntries = 4096;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;

void Store16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return alignment ? (value + alignment - 1) / alignment * alignment : value;
}

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// The loader compares names without regard to case.
bool NameBefore(const std::u16string& a, const std::u16string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return Upper(x) < Upper(y); });
}

bool EntryBefore(const ResourceEntry& a, const ResourceEntry& b) {
  if (a.IsNamed() != b.IsNamed()) return a.IsNamed();
  if (a.IsNamed()) return NameBefore(a.name, b.name);
  return a.id < b.id;
}

struct Reader {
  const uint8_t* bytes;
  size_t size;
  uint32_t rva;
  std::string* problem;

  bool Fail(const std::string& why) {
    if (problem) *problem = why;
    return false;
  }
  bool Fits(uint64_t at, uint64_t count) const { return at <= size && count <= size - at; }

  bool ReadName(uint32_t offset, std::u16string& name) {
    if (!Fits(offset, 2)) return Fail("a resource name lies outside the resource section");
    uint32_t length = LoadU16(bytes + offset);
    if (length == 0 || !Fits(offset + 2ull, 2ull * length))
      return Fail("a resource name is empty or runs past the resource section");
    for (uint32_t i = 0; i < length; ++i)
      name += static_cast<char16_t>(LoadU16(bytes + offset + 2 + 2 * i));
    return true;
  }

  bool ReadData(uint32_t offset, ResourceEntry& entry) {
    if (!Fits(offset, kDataEntrySize))
      return Fail("a resource data entry lies outside the resource section");
    uint32_t dataRva = LoadU32(bytes + offset);
    uint32_t dataSize = LoadU32(bytes + offset + 4);
    entry.codePage = LoadU32(bytes + offset + 8);
    if (dataRva < rva || !Fits(dataRva - uint64_t{rva}, dataSize))
      return Fail("a resource's data (RVA " + std::to_string(dataRva) + ", " +
                  std::to_string(dataSize) + " bytes) lies outside the resource section");
    const uint8_t* data = bytes + (dataRva - rva);
    entry.data.assign(data, data + dataSize);
    return true;
  }

  bool ReadDirectory(uint32_t offset, int level, ResourceEntry& directory) {
    if (!Fits(offset, kDirectoryHeaderSize))
      return Fail("a resource directory lies outside the resource section");
    const uint8_t* at = bytes + offset;
    directory.characteristics = LoadU32(at);
    directory.timeDateStamp = LoadU32(at + 4);
    directory.majorVersion = LoadU16(at + 8);
    directory.minorVersion = LoadU16(at + 10);
    uint32_t named = LoadU16(at + 12);
    uint32_t count = named + LoadU16(at + 14);
    if (count > kMostEntries || !Fits(offset + kDirectoryHeaderSize, count * kDirectoryEntrySize))
      return Fail("a resource directory's entries run past the resource section");
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* entryAt = bytes + offset + kDirectoryHeaderSize + i * kDirectoryEntrySize;
      ResourceEntry entry;
      uint32_t key = LoadU32(entryAt);
      uint32_t target = LoadU32(entryAt + 4);
      bool isNamed = (key & kNameFlag) != 0;
      if (isNamed != (i < named))
        return Fail("a resource directory mixes its named and numbered entries");
      if (isNamed) {
        if (!ReadName(key & ~kNameFlag, entry.name)) return false;
      } else {
        entry.id = key;
      }
      if (!directory.children.empty() && !EntryBefore(directory.children.back(), entry))
        return Fail("a resource directory's entries are not in ascending order, so the loader "
                    "may not find them");
      bool isDirectory = (target & kSubdirectoryFlag) != 0;
      if (isDirectory != (level + 1 < kLevels))
        return Fail("the resource tree does not have the three levels type, name and language");
      if (isDirectory ? !ReadDirectory(target & ~kSubdirectoryFlag, level + 1, entry)
                      : !ReadData(target, entry))
        return false;
      directory.children.push_back(std::move(entry));
    }
    return true;
  }
};

// Where each part of the tree goes when written.
struct Layout {
  std::vector<const ResourceEntry*> directories;  // breadth first
  std::vector<const ResourceEntry*> leaves;       // in the order the directories list them
  std::vector<const ResourceEntry*> named;
  std::vector<std::vector<const ResourceEntry*>> sorted;  // each directory's children, ordered
};

std::vector<const ResourceEntry*> Ordered(const ResourceEntry& directory) {
  std::vector<const ResourceEntry*> children;
  for (const ResourceEntry& child : directory.children) children.push_back(&child);
  std::stable_sort(
      children.begin(), children.end(),
      [](const ResourceEntry* a, const ResourceEntry* b) { return EntryBefore(*a, *b); });
  return children;
}

size_t SectionTableOffset(const std::vector<uint8_t>& bytes, const PeImage& image) {
  return image.peHeaderOffset + 4 + kFileHeaderSize + LoadU16(&bytes[image.peHeaderOffset + 20]);
}

// Base relocation types: padding, a 32-bit and a 64-bit address. x64 images use no other.
constexpr uint16_t kRelocationPadding = 0;
constexpr uint16_t kRelocationHighLow = 3;
constexpr uint16_t kRelocationDir64 = 10;
constexpr uint32_t kRelocationBlockHeaderSize = 8;

// Why the image's base relocations forbid rebuilding its resources, if they do. Every section
// from the resources on gets a new place, so no fix-up may stand in it (the loader would patch the
// old place), and no fixed-up address may point into it (the address would be the old one): both
// would be wrong after the move. The blocks are read from the image as it is; each is a page RVA,
// its length (a multiple of 4: every block starts on a 4-byte boundary) and 16-bit entries.
std::optional<std::string> RelocationProblem(const PeImage& image,
                                             const std::vector<uint8_t>& bytes,
                                             uint32_t movedFrom) {
  const PeDataDirectory directory = image.Directory(kBaseRelocationDirectory);
  if (directory.size == 0) return std::nullopt;
  std::optional<uint64_t> start = FileOffsetOfRva(image, directory.address);
  if (!start || *start + directory.size > bytes.size())
    return std::string("its base relocations lie outside its file data");
  const uint64_t moved = uint64_t{image.imageBase} + movedFrom;
  const uint64_t imageEnd = uint64_t{image.imageBase} + image.sizeOfImage;
  auto hex = [](uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return std::string(text);
  };
  for (uint64_t at = *start, end = *start + directory.size; at < end;) {
    if (end - at < kRelocationBlockHeaderSize)
      return "its base relocation block at RVA " + hex(directory.address + (at - *start)) +
             " is cut short";
    const uint32_t page = LoadU32(&bytes[at]);
    const uint32_t blockSize = LoadU32(&bytes[at + 4]);
    if (blockSize < kRelocationBlockHeaderSize || blockSize % 4 != 0 || blockSize > end - at)
      return "its base relocation block for page " + hex(page) + " has a wrong size (" +
             std::to_string(blockSize) + " bytes)";
    for (uint64_t entry = at + kRelocationBlockHeaderSize; entry < at + blockSize; entry += 2) {
      const uint16_t value = static_cast<uint16_t>(bytes[entry] | bytes[entry + 1] << 8);
      const uint16_t type = value >> 12;
      if (type == kRelocationPadding) continue;
      if (type != kRelocationHighLow && type != kRelocationDir64)
        return "its base relocations hold a fix-up of type " + std::to_string(type) + " for page " +
               hex(page) + ", which an x64 image does not use";
      const uint64_t target = uint64_t{page} + (value & 0x0FFFu);
      const uint32_t width = type == kRelocationDir64 ? 8 : 4;
      if (target + width > movedFrom)
        return "its base relocations fix up RVA " + hex(target) +
               ", in its resources or a section after them, which move";
      // The address the fix-up adjusts, as the file holds it (a place without file data is 0).
      std::optional<uint64_t> held = FileOffsetOfRva(image, static_cast<uint32_t>(target));
      if (!held || *held + width > bytes.size()) continue;
      uint64_t address = LoadU32(&bytes[*held]);
      if (width == 8) address |= uint64_t{LoadU32(&bytes[*held + 4])} << 32;
      if (width == 4) address += image.imageBase & ~uint64_t{0xFFFFFFFF};
      if (address >= moved && address < imageEnd)
        return "its code or data at RVA " + hex(target) + " holds the address " + hex(address) +
               ", in its resources or a section after them, which move";
    }
    at += blockSize;
  }
  return std::nullopt;
}

}  // namespace

ResourceEntry* ResourceEntry::Find(uint32_t wanted) {
  for (ResourceEntry& child : children)
    if (!child.IsNamed() && child.id == wanted) return &child;
  return nullptr;
}

const ResourceEntry* ResourceEntry::Find(uint32_t wanted) const {
  for (const ResourceEntry& child : children)
    if (!child.IsNamed() && child.id == wanted) return &child;
  return nullptr;
}

ResourceEntry& ResourceEntry::FindOrAdd(uint32_t wanted) {
  if (ResourceEntry* found = Find(wanted)) return *found;
  ResourceEntry entry;
  entry.id = wanted;
  auto at = std::find_if(children.begin(), children.end(), [&](const ResourceEntry& child) {
    return !child.IsNamed() && child.id > wanted;
  });
  return *children.insert(at, std::move(entry));
}

const ResourceEntry* FindResourceData(const ResourceEntry& root, uint32_t type, uint32_t id) {
  const ResourceEntry* typeEntry = root.Find(type);
  const ResourceEntry* nameEntry = typeEntry ? typeEntry->Find(id) : nullptr;
  if (!nameEntry || nameEntry->children.empty()) return nullptr;
  return &nameEntry->children.front();
}

std::optional<ResourceEntry> ReadResourceTree(const uint8_t* section, size_t size,
                                              uint32_t sectionRva, uint32_t rootOffset,
                                              std::string* problem) {
  // Offsets in the tree count from its root directory.
  if (rootOffset > size) {
    if (problem) *problem = "the resource directory lies outside its section";
    return std::nullopt;
  }
  Reader reader{section + rootOffset, size - rootOffset, sectionRva + rootOffset, problem};
  ResourceEntry root;
  if (!reader.ReadDirectory(0, 0, root)) return std::nullopt;
  return root;
}

std::vector<uint8_t> WriteResourceTree(const ResourceEntry& root, uint32_t sectionRva) {
  Layout layout;
  layout.directories.push_back(&root);
  std::vector<int> levels{0};
  for (size_t i = 0; i < layout.directories.size(); ++i) {
    const int level = levels[i];
    layout.sorted.push_back(Ordered(*layout.directories[i]));
    for (const ResourceEntry* child : layout.sorted.back()) {
      if (child->IsNamed()) layout.named.push_back(child);
      if (level + 1 < kLevels) {
        layout.directories.push_back(child);
        levels.push_back(level + 1);
      } else {
        layout.leaves.push_back(child);
      }
    }
  }
  // Offsets: directories, data entries, names, data.
  std::vector<uint32_t> directoryAt;
  uint64_t at = 0;
  for (const ResourceEntry* directory : layout.directories) {
    directoryAt.push_back(static_cast<uint32_t>(at));
    at += kDirectoryHeaderSize + directory->children.size() * kDirectoryEntrySize;
  }
  uint64_t leavesAt = at;
  at += layout.leaves.size() * kDataEntrySize;
  std::vector<uint32_t> nameAt;
  for (const ResourceEntry* named : layout.named) {
    nameAt.push_back(static_cast<uint32_t>(at));
    at += 2 + 2 * named->name.size();
  }
  std::vector<uint32_t> dataAt;
  for (const ResourceEntry* leaf : layout.leaves) {
    at = AlignUp(at, 8);
    dataAt.push_back(static_cast<uint32_t>(at));
    at += leaf->data.size();
  }
  std::vector<uint8_t> out(static_cast<size_t>(AlignUp(at, 8)), 0);

  for (size_t i = 0; i < layout.named.size(); ++i) {
    const std::u16string& name = layout.named[i]->name;
    Store16(&out[nameAt[i]], static_cast<uint32_t>(name.size()));
    for (size_t c = 0; c < name.size(); ++c) Store16(&out[nameAt[i] + 2 + 2 * c], name[c]);
  }
  for (size_t i = 0; i < layout.leaves.size(); ++i) {
    const ResourceEntry* leaf = layout.leaves[i];
    uint8_t* entry = &out[leavesAt + i * kDataEntrySize];
    StoreU32(entry, sectionRva + dataAt[i]);
    StoreU32(entry + 4, static_cast<uint32_t>(leaf->data.size()));
    StoreU32(entry + 8, leaf->codePage);
    std::copy(leaf->data.begin(), leaf->data.end(), out.begin() + dataAt[i]);
  }
  auto indexOf = [](const std::vector<const ResourceEntry*>& list, const ResourceEntry* entry) {
    return static_cast<size_t>(std::find(list.begin(), list.end(), entry) - list.begin());
  };
  for (size_t d = 0; d < layout.directories.size(); ++d) {
    const ResourceEntry* directory = layout.directories[d];
    uint8_t* header = &out[directoryAt[d]];
    StoreU32(header, directory->characteristics);
    StoreU32(header + 4, directory->timeDateStamp);
    Store16(header + 8, directory->majorVersion);
    Store16(header + 10, directory->minorVersion);
    const std::vector<const ResourceEntry*>& children = layout.sorted[d];
    uint32_t named = static_cast<uint32_t>(std::count_if(
        children.begin(), children.end(), [](const ResourceEntry* c) { return c->IsNamed(); }));
    Store16(header + 12, named);
    Store16(header + 14, static_cast<uint32_t>(children.size()) - named);
    for (size_t i = 0; i < children.size(); ++i) {
      const ResourceEntry* child = children[i];
      uint8_t* entry = header + kDirectoryHeaderSize + i * kDirectoryEntrySize;
      StoreU32(entry,
               child->IsNamed() ? kNameFlag | nameAt[indexOf(layout.named, child)] : child->id);
      size_t leaf = indexOf(layout.leaves, child);
      StoreU32(entry + 4,
               leaf < layout.leaves.size()
                   ? static_cast<uint32_t>(leavesAt + leaf * kDataEntrySize)
                   : kSubdirectoryFlag | directoryAt[indexOf(layout.directories, child)]);
    }
  }
  return out;
}

std::optional<ResourceSectionPlace> FindResourceSection(const PeImage& image) {
  PeDataDirectory directory = image.Directory(kResourceDirectory);
  if (directory.address == 0) return std::nullopt;
  for (size_t i = 0; i < image.sections.size(); ++i) {
    const PeSection& section = image.sections[i];
    uint32_t extent = std::max(section.virtualSize, section.sizeOfRawData);
    if (directory.address >= section.virtualAddress &&
        directory.address - section.virtualAddress < extent)
      return ResourceSectionPlace{i, directory.address - section.virtualAddress};
  }
  return std::nullopt;
}

std::optional<ResourceEntry> ReadImageResources(const PeImage& image, const uint8_t* bytes,
                                                size_t size, std::string* problem) {
  std::optional<ResourceSectionPlace> place = FindResourceSection(image);
  if (!place) {
    if (problem) *problem = "the image has no resource directory inside a section";
    return std::nullopt;
  }
  const PeSection& section = image.sections[place->index];
  uint64_t length = std::min(section.virtualSize ? section.virtualSize : section.sizeOfRawData,
                             section.sizeOfRawData);
  if (uint64_t{section.pointerToRawData} + length > size) {
    if (problem) *problem = "the resource section runs past the end of the file";
    return std::nullopt;
  }
  return ReadResourceTree(bytes + section.pointerToRawData, static_cast<size_t>(length),
                          section.virtualAddress, place->rootOffset, problem);
}

std::vector<uint8_t> RebuildResourceSection(const std::vector<uint8_t>& bytes,
                                            const ResourceEntry& tree) {
  std::string problem;
  std::optional<PeImage> read = ReadPeImage(bytes.data(), bytes.size(), &problem);
  if (!read) throw PackError("the launcher is not a PE32+ image: " + problem);
  const PeImage& image = *read;
  if (image.IsSigned()) throw PackError("the launcher is signed; its resources cannot be changed");
  if (LoadU32(&bytes[image.peHeaderOffset + 12]) != 0)
    throw PackError("the launcher carries a symbol table; its resources cannot be moved");
  if (image.rawDataEnd > bytes.size()) throw PackError("the launcher's sections are cut short");
  std::optional<ResourceSectionPlace> place = FindResourceSection(image);
  if (!place || place->rootOffset != 0)
    throw PackError("the launcher's resources do not start a section of their own");
  const size_t r = place->index;
  const PeSection& rsrc = image.sections[r];
  // Only the base relocations may follow: they name pages of the sections before, never their
  // own place, so their section moves without a change inside. Anything else that follows could
  // be addressed from the code.
  PeDataDirectory relocations = image.Directory(kBaseRelocationDirectory);
  for (size_t i = r + 1; i < image.sections.size(); ++i) {
    const PeSection& later = image.sections[i];
    bool holdsRelocations = relocations.size != 0 && relocations.address >= later.virtualAddress &&
                            uint64_t{relocations.address} + relocations.size <=
                                uint64_t{later.virtualAddress} + later.virtualSize;
    if (!holdsRelocations || later.pointerToRawData < rsrc.pointerToRawData + rsrc.sizeOfRawData ||
        later.virtualAddress < rsrc.virtualAddress + rsrc.virtualSize)
      throw PackError("the launcher's section " + later.name +
                      " follows its resources and is not the base relocations; it cannot be "
                      "moved safely");
  }
  if (std::optional<std::string> relocationProblem =
          RelocationProblem(image, bytes, rsrc.virtualAddress))
    throw PackError("the launcher's resources cannot be rebuilt: " + *relocationProblem);
  for (size_t d = 0; d < image.dataDirectories.size(); ++d) {
    if (d == kResourceDirectory || d == kCertificateDirectory || d == kBaseRelocationDirectory)
      continue;
    const PeDataDirectory& other = image.dataDirectories[d];
    if (other.size != 0 && other.address >= rsrc.virtualAddress)
      throw PackError("the launcher's data directory " + std::to_string(d) +
                      " lies in or after its resources; they cannot be rebuilt");
  }

  std::vector<uint8_t> section = WriteResourceTree(tree, rsrc.virtualAddress);
  const uint32_t newVirtual = static_cast<uint32_t>(section.size());
  const uint32_t newRaw = static_cast<uint32_t>(AlignUp(section.size(), image.fileAlignment));
  const int64_t rawDelta = int64_t{newRaw} - rsrc.sizeOfRawData;
  const int64_t virtualDelta =
      static_cast<int64_t>(AlignUp(newVirtual, image.sectionAlignment)) -
      static_cast<int64_t>(
          AlignUp(std::max(rsrc.virtualSize, rsrc.sizeOfRawData), image.sectionAlignment));

  std::vector<uint8_t> out(bytes.begin(), bytes.begin() + rsrc.pointerToRawData);
  section.resize(newRaw, 0);
  out.insert(out.end(), section.begin(), section.end());
  out.insert(out.end(), bytes.begin() + rsrc.pointerToRawData + rsrc.sizeOfRawData, bytes.end());

  const size_t table = SectionTableOffset(bytes, image);
  uint8_t* header = &out[table + r * kSectionHeaderSize];
  StoreU32(header + 8, newVirtual);
  StoreU32(header + 16, newRaw);
  uint32_t imageEnd = rsrc.virtualAddress + newVirtual;
  for (size_t i = r + 1; i < image.sections.size(); ++i) {
    const PeSection& later = image.sections[i];
    header = &out[table + i * kSectionHeaderSize];
    StoreU32(header + 12, static_cast<uint32_t>(later.virtualAddress + virtualDelta));
    if (later.sizeOfRawData)
      StoreU32(header + 20, static_cast<uint32_t>(later.pointerToRawData + rawDelta));
    imageEnd = static_cast<uint32_t>(later.virtualAddress + virtualDelta + later.virtualSize);
  }
  const size_t optional = image.peHeaderOffset + 4 + kFileHeaderSize;
  StoreU32(&out[optional + 56], static_cast<uint32_t>(AlignUp(imageEnd, image.sectionAlignment)));
  if (rsrc.characteristics & 0x40) {  // initialized data: counted in SizeOfInitializedData
    uint32_t initialized = LoadU32(&out[optional + 8]);
    StoreU32(&out[optional + 8], static_cast<uint32_t>(initialized + rawDelta));
  }
  const size_t directories = optional + 112;
  StoreU32(&out[directories + 8 * kResourceDirectory + 4], newVirtual);
  if (relocations.size != 0 && r + 1 < image.sections.size())
    StoreU32(&out[directories + 8 * kBaseRelocationDirectory],
             static_cast<uint32_t>(relocations.address + virtualDelta));
  StoreU32(&out[image.checksumOffset], 0);
  StoreU32(&out[image.checksumOffset],
           ComputePeChecksum(out.data(), out.size(), image.checksumOffset));
  return out;
}

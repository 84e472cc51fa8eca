#include "pack/format/compound_file.h"

#include <algorithm>
#include <cstring>

#include "launch/anchor_record.h"

namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr size_t kHeaderDifatEntries = 109;
constexpr size_t kEntrySize = 128;
constexpr size_t kMostEntries = 1 << 16;
constexpr uint8_t kStreamEntry = 2;
constexpr uint8_t kRootEntry = 5;

void Fail(const std::string& what) { throw PackageFormatError(what); }

}  // namespace

void PackageBytes::Read(uint64_t at, uint8_t* bytes, size_t count) const {
  if (at > size_ || count > size_ - at) Fail("a read past the end of the package");
  if (memory_) {
    if (count) std::memcpy(bytes, memory_->data() + at, count);
  } else if (read_) {
    read_(at, bytes, count);
  } else {
    file_->ReadAt(offset_ + at, bytes, count);
  }
}

CompoundFile::CompoundFile(const PackageBytes& bytes) : bytes_(bytes) {
  if (bytes.Size() < 512) Fail("not a compound file: shorter than its 512-byte header");
  uint8_t header[512];
  bytes.Read(0, header, sizeof header);
  if (std::memcmp(header, kSignature, sizeof kSignature) != 0)
    Fail("not a compound file: its signature is missing");
  uint16_t major = LoadU16(header + 0x1A);
  uint16_t sectorShift = LoadU16(header + 0x1E);
  uint16_t miniShift = LoadU16(header + 0x20);
  if (LoadU16(header + 0x1C) != 0xFFFE) Fail("compound file header: unknown byte order mark");
  if (!((major == 3 && sectorShift == 9) || (major == 4 && sectorShift == 12)))
    Fail("compound file header: version " + std::to_string(major) + " with sectors of 2^" +
         std::to_string(sectorShift) + " bytes, not version 3 (512) or 4 (4096)");
  sectorSize_ = 1u << sectorShift;
  miniShift_ = miniShift;
  miniCutoff_ = LoadU32(header + 0x38);
  uint64_t size = bytes.Size();
  sectorCount_ = size > sectorSize_ ? (size - sectorSize_ + sectorSize_ - 1) / sectorSize_ : 0;

  // The FAT's own sectors: the first 109 are named in the header, the rest in the DIFAT chain.
  uint32_t fatSectors = LoadU32(header + 0x2C);
  if (fatSectors > sectorCount_)
    Fail("compound file header: " + std::to_string(fatSectors) +
         " FAT sectors, more than the file holds");
  std::vector<uint32_t> fatSectorList;
  for (size_t i = 0; i < kHeaderDifatEntries && fatSectorList.size() < fatSectors; ++i)
    fatSectorList.push_back(LoadU32(header + 0x4C + 4 * i));
  uint32_t difat = LoadU32(header + 0x44);
  uint32_t difatCount = LoadU32(header + 0x48);
  const size_t perDifat = sectorSize_ / 4 - 1;
  std::vector<bool> seen(sectorCount_);
  for (uint32_t n = 0; fatSectorList.size() < fatSectors; ++n) {
    if (n >= difatCount || difat > kLastRegularSector || difat >= sectorCount_)
      Fail("compound file: the DIFAT names fewer FAT sectors than the header counts");
    if (seen[difat]) Fail("compound file: the DIFAT chain loops");
    seen[difat] = true;
    std::vector<uint8_t> sector = Sector(difat);
    for (size_t i = 0; i < perDifat && fatSectorList.size() < fatSectors; ++i)
      fatSectorList.push_back(LoadU32(sector.data() + 4 * i));
    difat = LoadU32(sector.data() + 4 * perDifat);
  }
  fat_.reserve(size_t{fatSectors} * (sectorSize_ / 4));
  for (uint32_t index : fatSectorList) {
    if (index > kLastRegularSector || index >= sectorCount_)
      Fail("compound file: a FAT sector lies outside the file");
    std::vector<uint8_t> sector = Sector(index);
    for (size_t i = 0; i < sectorSize_; i += 4) fat_.push_back(LoadU32(sector.data() + i));
  }

  // The directory, 128 bytes an entry; its chain has no length of its own. A package has a few
  // hundred streams at most, so a directory of more than 65536 entries is a damaged one
  // (and would take more memory than the file is worth).
  std::vector<uint32_t> directorySectors = Chain(LoadU32(header + 0x30), fat_, 0, "directory");
  if (directorySectors.size() * (sectorSize_ / kEntrySize) > kMostEntries)
    Fail("compound file: a directory of more than " + std::to_string(kMostEntries) + " entries");
  for (uint32_t index : directorySectors) {
    std::vector<uint8_t> sector = Sector(index);
    for (size_t at = 0; at < sectorSize_; at += kEntrySize) {
      const uint8_t* e = sector.data() + at;
      Entry entry;
      uint16_t nameBytes = std::min<uint16_t>(LoadU16(e + 64), 64);
      for (size_t i = 0; i + 1 < nameBytes; i += 2) entry.name.push_back(LoadU16(e + i));
      while (!entry.name.empty() && entry.name.back() == 0) entry.name.pop_back();
      entry.type = e[66];
      entry.left = LoadU32(e + 68);
      entry.right = LoadU32(e + 72);
      entry.child = LoadU32(e + 76);
      std::memcpy(entry.clsid, e + 80, sizeof entry.clsid);
      std::memcpy(entry.stateBits, e + 96, sizeof entry.stateBits);
      std::memcpy(entry.created, e + 100, sizeof entry.created);
      std::memcpy(entry.modified, e + 108, sizeof entry.modified);
      entry.start = LoadU32(e + 116);
      entry.size =
          major == 3 ? LoadU32(e + 120) : LoadU32(e + 120) | uint64_t{LoadU32(e + 124)} << 32;
      directory_.push_back(entry);
    }
  }
  if (directory_.empty() || directory_[0].type != kRootEntry)
    Fail("compound file: the directory does not begin with the root entry");

  miniFatStart_ = LoadU32(header + 0x3C);
  miniFatSectors_ = LoadU32(header + 0x40);
}

// The mini FAT and the mini stream (the root entry's data), where streams under 4096 bytes are.
void CompoundFile::ReadMiniStream() const {
  if (miniRead_) return;
  if (miniShift_ != 6) Fail("compound file header: mini sectors are not 64 bytes");
  if (miniCutoff_ != 4096) Fail("compound file header: the mini stream cutoff is not 4096");
  if (miniFatSectors_ > sectorCount_)
    Fail("compound file header: more mini FAT sectors than the file holds");
  std::vector<uint32_t> miniFat;
  if (miniFatSectors_) {
    for (uint32_t index : Chain(miniFatStart_, fat_, miniFatSectors_, "mini FAT")) {
      std::vector<uint8_t> sector = Sector(index);
      for (size_t i = 0; i < sectorSize_; i += 4) miniFat.push_back(LoadU32(sector.data() + i));
    }
  }
  Entry root = directory_[0];
  if (root.size > uint64_t{miniFat.size()} * miniSectorSize_)
    root.size = uint64_t{miniFat.size()} * miniSectorSize_;  // the rest is never addressed
  std::vector<uint8_t> stream = ReadStream(root);
  miniFat_ = std::move(miniFat);
  miniStream_ = std::move(stream);
  miniRead_ = true;
}

std::vector<uint8_t> CompoundFile::Sector(uint32_t index) const {
  std::vector<uint8_t> sector(sectorSize_);
  uint64_t at = (uint64_t{index} + 1) * sectorSize_;
  if (index >= sectorCount_) Fail("compound file: a sector number lies outside the file");
  uint64_t count = std::min<uint64_t>(sectorSize_, bytes_.Size() - at);  // the last may be cut
  bytes_.Read(at, sector.data(), static_cast<size_t>(count));
  return sector;
}

std::vector<uint32_t> CompoundFile::Chain(uint32_t start, const std::vector<uint32_t>& table,
                                          uint64_t limit, const char* what) const {
  std::vector<uint32_t> chain;
  std::vector<bool> seen(table.size());
  uint32_t next = start;
  while (limit == 0 || chain.size() < limit) {
    if (next == kEndOfChain) {
      if (limit) Fail(std::string("compound file: the ") + what + " chain ends early");
      break;
    }
    if (next >= table.size() || next == kFreeSector)
      Fail(std::string("compound file: the ") + what + " chain leaves its table");
    if (seen[next]) Fail(std::string("compound file: the ") + what + " chain loops");
    seen[next] = true;
    chain.push_back(next);
    next = table[next];
  }
  return chain;
}

void CompoundFile::ReadStream(const Entry& entry, const ByteSink& sink) const {
  if (entry.size == 0) return;
  bool mini = entry.type != kRootEntry && entry.size < miniCutoff_;
  if (mini) ReadMiniStream();
  uint64_t unit = mini ? miniSectorSize_ : sectorSize_;
  uint64_t room = mini ? miniStream_.size() : bytes_.Size();
  if (entry.size > room)
    Fail("compound file: a stream of " + std::to_string(entry.size) +
         " bytes, more than the file holds");
  uint64_t units = (entry.size + unit - 1) / unit;
  std::vector<uint32_t> chain = Chain(entry.start, mini ? miniFat_ : fat_, units, "stream");
  uint64_t done = 0;
  for (uint32_t index : chain) {
    size_t count = static_cast<size_t>(std::min<uint64_t>(unit, entry.size - done));
    if (mini) {
      uint64_t at = uint64_t{index} * unit;
      if (at + count > miniStream_.size()) Fail("compound file: a stream leaves the mini stream");
      sink(miniStream_.data() + at, count);
    } else {
      std::vector<uint8_t> sector = Sector(index);
      sink(sector.data(), count);
    }
    done += count;
  }
}

std::vector<uint8_t> CompoundFile::ReadStream(const Entry& entry) const {
  std::vector<uint8_t> data;
  ReadStream(entry, [&](const uint8_t* bytes, size_t count) {
    if (data.empty()) data.reserve(static_cast<size_t>(entry.size));
    data.insert(data.end(), bytes, bytes + count);
  });
  return data;
}

std::vector<uint32_t> CompoundFile::Children(uint32_t index) const {
  // The children form a tree through left, right and child; walked with a stack, each entry at
  // most once, so a tree that loops ends too.
  std::vector<uint32_t> children;
  std::vector<bool> seen(directory_.size());
  std::vector<uint32_t> pending{directory_[index].child};
  while (!pending.empty()) {
    uint32_t at = pending.back();
    pending.pop_back();
    if (at == kNoEntry) continue;
    if (at >= directory_.size() || seen[at] || at == index) continue;
    seen[at] = true;
    children.push_back(at);
    pending.push_back(directory_[at].left);
    pending.push_back(directory_[at].right);
  }
  return children;
}

bool CompoundFile::HasStream(const std::u16string& name) const {
  for (const Entry& entry : directory_)
    if (entry.type == kStreamEntry && entry.name == name) return true;
  return false;
}

std::optional<std::vector<uint8_t>> CompoundFile::RootStream(const std::u16string& name) const {
  for (uint32_t index : Children(0)) {
    const Entry& entry = directory_[index];
    if (entry.type == kStreamEntry && entry.name == name) return ReadStream(entry);
  }
  return std::nullopt;
}

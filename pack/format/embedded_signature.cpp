#include "pack/format/embedded_signature.h"

#include <cstring>
#include <vector>

#include "launch/anchor_record.h"
#include "pack/format/pe_image.h"

namespace {

constexpr uint16_t kPe32Magic = 0x10B;

// The compound file's header and directory (MS-CFB).
const uint8_t kCompoundSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kCompoundHeaderSize = 512;
constexpr size_t kHeaderFatSectors = 109;  // the DIFAT entries the header holds itself
constexpr uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr size_t kDirectoryEntrySize = 128;
constexpr uint8_t kStreamObject = 2;
// "\x05DigitalSignature" in UTF-16LE, with its terminating zero: the entry's name and length.
const char16_t kSignatureStream[] = u"\x0005"
                                    u"DigitalSignature";

class CompoundFile {
 public:
  CompoundFile(uint64_t size, const ReadEmbeddedBytes& read) : size_(size), read_(read) {}

  // Reads the header and the FAT's sector list; false when it is not a sound compound file.
  bool Open() {
    if (size_ < kCompoundHeaderSize) return false;
    uint8_t header[kCompoundHeaderSize];
    read_(0, header, sizeof header);
    if (std::memcmp(header, kCompoundSignature, sizeof kCompoundSignature) != 0) return false;
    const uint16_t shift = LoadU16(header + 0x1E);
    if (shift != 9 && shift != 12) return false;
    sectorSize_ = size_t{1} << shift;
    sectorCount_ = size_ / sectorSize_;  // the sectors the file can hold, header's included
    directoryStart_ = LoadU32(header + 0x30);
    const uint32_t fatSectors = LoadU32(header + 0x2C);
    if (fatSectors > sectorCount_) return false;
    for (size_t i = 0; i < kHeaderFatSectors && fatSectorList_.size() < fatSectors; ++i)
      fatSectorList_.push_back(LoadU32(header + 0x4C + 4 * i));
    // Further FAT sectors are listed in the DIFAT sectors' chain: each holds entries and, last,
    // the next DIFAT sector.
    uint32_t difat = LoadU32(header + 0x44);
    std::vector<uint8_t> sector(sectorSize_);
    for (uint64_t steps = 0; fatSectorList_.size() < fatSectors; ++steps) {
      if (steps > sectorCount_ || !ReadSector(difat, sector.data())) return false;
      const size_t entries = sectorSize_ / 4 - 1;
      for (size_t i = 0; i < entries && fatSectorList_.size() < fatSectors; ++i)
        fatSectorList_.push_back(LoadU32(sector.data() + 4 * i));
      difat = LoadU32(sector.data() + 4 * entries);
    }
    return true;
  }

  // Whether a stream entry of the directory bears `name` (its UTF-16 units, the terminating zero
  // included): every entry of the directory's chain is looked at, whichever storage holds it.
  std::optional<bool> HasStream(const char16_t* name, size_t units) {
    std::vector<uint8_t> sector(sectorSize_);
    uint32_t at = directoryStart_;
    for (uint64_t steps = 0; at != kEndOfChain; ++steps) {
      if (steps > sectorCount_ || !ReadSector(at, sector.data())) return std::nullopt;
      for (size_t entry = 0; entry + kDirectoryEntrySize <= sectorSize_;
           entry += kDirectoryEntrySize) {
        const uint8_t* bytes = sector.data() + entry;
        if (bytes[66] != kStreamObject || LoadU16(bytes + 64) != 2 * units) continue;
        bool same = true;
        for (size_t i = 0; i < units && same; ++i) same = LoadU16(bytes + 2 * i) == name[i];
        if (same) return true;
      }
      std::optional<uint32_t> next = NextSector(at);
      if (!next) return std::nullopt;
      at = *next;
    }
    return false;
  }

 private:
  bool ReadSector(uint32_t sector, uint8_t* bytes) {
    if (sector > kLastRegularSector) return false;
    const uint64_t offset = (uint64_t{sector} + 1) * sectorSize_;
    if (offset > size_ || size_ - offset < sectorSize_) return false;
    read_(offset, bytes, sectorSize_);
    return true;
  }

  std::optional<uint32_t> NextSector(uint32_t sector) {
    const size_t perSector = sectorSize_ / 4;
    const uint64_t index = sector / perSector;
    if (index >= fatSectorList_.size()) return std::nullopt;
    const uint64_t fatSector = fatSectorList_[static_cast<size_t>(index)];
    if (fatSector > kLastRegularSector) return std::nullopt;
    const uint64_t offset = (fatSector + 1) * sectorSize_ + 4 * (sector % perSector);
    if (offset > size_ - 4) return std::nullopt;
    uint8_t entry[4];
    read_(offset, entry, sizeof entry);
    return LoadU32(entry);
  }

  uint64_t size_;
  const ReadEmbeddedBytes& read_;
  size_t sectorSize_ = 512;
  uint64_t sectorCount_ = 0;
  uint32_t directoryStart_ = 0;
  std::vector<uint32_t> fatSectorList_;
};

}  // namespace

EmbeddedSignature ProgramSignature(const uint8_t* head, size_t size, uint64_t programSize,
                                   ProgramSignatureTable* table) {
  std::optional<uint32_t> pe = PeHeaderOffset(head, size);
  // The PE signature, the 20-byte file header, the optional header's magic.
  if (!pe || uint64_t{*pe} + 4 + 20 + 2 > size || !IsPeSignature(head + *pe))
    return EmbeddedSignature::kUnreadable;
  const uint8_t* optional = head + *pe + 4 + 20;
  const uint16_t optionalSize = LoadU16(head + *pe + 4 + 16);
  const uint16_t magic = LoadU16(optional);
  // Where NumberOfRvaAndSizes and the data directories stand in the two forms.
  size_t countAt;
  if (magic == kPe32Magic)
    countAt = 92;
  else if (magic == kPe32PlusMagic)
    countAt = 108;
  else
    return EmbeddedSignature::kUnreadable;
  const size_t entryAt = countAt + 4 + 8 * kCertificateDirectory;
  if (optionalSize < countAt + 4 || uint64_t{*pe} + 24 + countAt + 4 > size)
    return EmbeddedSignature::kUnreadable;
  if (LoadU32(optional + countAt) <= kCertificateDirectory || optionalSize < entryAt + 8)
    return EmbeddedSignature::kNotSigned;
  if (uint64_t{*pe} + 24 + entryAt + 8 > size) return EmbeddedSignature::kUnreadable;
  const uint32_t address = LoadU32(optional + entryAt);
  const uint32_t length = LoadU32(optional + entryAt + 4);
  if (length == 0) return EmbeddedSignature::kNotSigned;
  // A table that does not lie inside the program is no signature the program carries.
  if (address == 0 || uint64_t{address} + length > programSize)
    return EmbeddedSignature::kUnreadable;
  if (table) {
    table->checksumOffset = *pe + 24 + 64;  // CheckSum, at the same place in both forms
    table->certificateEntryOffset = static_cast<uint32_t>(*pe + 24 + entryAt);
    table->address = address;
    table->size = length;
  }
  return EmbeddedSignature::kSigned;
}

EmbeddedSignature PackageSignature(uint64_t packageSize, const ReadEmbeddedBytes& read) {
  CompoundFile file(packageSize, read);
  if (!file.Open()) return EmbeddedSignature::kUnreadable;
  std::optional<bool> found =
      file.HasStream(kSignatureStream, sizeof kSignatureStream / sizeof kSignatureStream[0]);
  if (!found) return EmbeddedSignature::kUnreadable;
  return *found ? EmbeddedSignature::kSigned : EmbeddedSignature::kNotSigned;
}

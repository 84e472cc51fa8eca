#include "pack/format/pe_image.h"

#include <algorithm>

#include "launch/anchor_record.h"

namespace {

constexpr size_t kFileHeaderSize = 20;
constexpr size_t kOptionalHeaderFixedSize = 112;  // PE32+ up to the data directories
constexpr size_t kSectionHeaderSize = 40;

bool Fail(std::string* problem, const std::string& why) {
  if (problem) *problem = why;
  return false;
}

bool ReadFileHeader(const uint8_t* bytes, size_t size, PeImage& image, uint16_t& sectionCount,
                    uint16_t& optionalSize, std::string* problem) {
  std::optional<uint32_t> peOffset = PeHeaderOffset(bytes, size);
  if (!peOffset) return Fail(problem, "no MZ header: not a Windows executable");
  image.peHeaderOffset = *peOffset;
  uint64_t pe = image.peHeaderOffset;
  if (pe + 4 + kFileHeaderSize > size) return Fail(problem, "the PE header lies beyond the file");
  const uint8_t* at = bytes + pe;
  if (!IsPeSignature(at)) return Fail(problem, "no PE signature: not a Windows executable");
  image.machine = LoadU16(at + 4);
  sectionCount = LoadU16(at + 6);
  image.timeDateStamp = LoadU32(at + 8);
  optionalSize = LoadU16(at + 20);
  image.characteristics = LoadU16(at + 22);
  return true;
}

bool ReadOptionalHeader(const uint8_t* bytes, size_t size, uint16_t optionalSize, PeImage& image,
                        std::string* problem) {
  uint64_t start = uint64_t{image.peHeaderOffset} + 4 + kFileHeaderSize;
  if (optionalSize < 2 || start + 2 > size) return Fail(problem, "no optional header");
  const uint8_t* at = bytes + start;
  uint16_t magic = LoadU16(at);
  if (magic != kPe32PlusMagic)
    return Fail(problem, magic == 0x10B ? "a 32-bit (PE32) image, not a 64-bit PE32+ image"
                                        : "an optional header that is neither PE32 nor PE32+");
  if (optionalSize < kOptionalHeaderFixedSize || start + optionalSize > size)
    return Fail(problem, "a truncated optional header");
  image.majorLinkerVersion = at[2];
  image.minorLinkerVersion = at[3];
  image.addressOfEntryPoint = LoadU32(at + 16);
  image.imageBase = LoadU64(at + 24);
  image.sectionAlignment = LoadU32(at + 32);
  image.fileAlignment = LoadU32(at + 36);
  image.majorOperatingSystemVersion = LoadU16(at + 40);
  image.minorOperatingSystemVersion = LoadU16(at + 42);
  image.majorImageVersion = LoadU16(at + 44);
  image.minorImageVersion = LoadU16(at + 46);
  image.majorSubsystemVersion = LoadU16(at + 48);
  image.minorSubsystemVersion = LoadU16(at + 50);
  image.sizeOfImage = LoadU32(at + 56);
  image.sizeOfHeaders = LoadU32(at + 60);
  image.checkSum = LoadU32(at + 64);
  image.subsystem = LoadU16(at + 68);
  image.dllCharacteristics = LoadU16(at + 70);
  image.sizeOfStackReserve = LoadU64(at + 72);
  image.sizeOfStackCommit = LoadU64(at + 80);
  image.sizeOfHeapReserve = LoadU64(at + 88);
  image.sizeOfHeapCommit = LoadU64(at + 96);
  uint32_t directoryCount = LoadU32(at + 108);
  if (kOptionalHeaderFixedSize + uint64_t{directoryCount} * 8 > optionalSize)
    return Fail(problem, "more data directories than the optional header holds");
  for (uint32_t i = 0; i < directoryCount; ++i) {
    const uint8_t* entry = at + kOptionalHeaderFixedSize + 8 * i;
    image.dataDirectories.push_back({LoadU32(entry), LoadU32(entry + 4)});
  }
  image.checksumOffset = static_cast<uint32_t>(start + 64);
  image.certificateEntryOffset =
      static_cast<uint32_t>(start + kOptionalHeaderFixedSize + 8 * kCertificateDirectory);
  return true;
}

bool ReadSections(const uint8_t* bytes, size_t size, uint16_t sectionCount, uint16_t optionalSize,
                  PeImage& image, std::string* problem) {
  uint64_t table = uint64_t{image.peHeaderOffset} + 4 + kFileHeaderSize + optionalSize;
  if (table + uint64_t{sectionCount} * kSectionHeaderSize > size)
    return Fail(problem, "a truncated section table");
  image.rawDataEnd =
      std::max<uint64_t>(image.sizeOfHeaders, table + uint64_t{sectionCount} * kSectionHeaderSize);
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint8_t* at = bytes + table + kSectionHeaderSize * i;
    PeSection section;
    size_t nameLength = 0;
    while (nameLength < 8 && at[nameLength] != 0) ++nameLength;
    section.name.assign(reinterpret_cast<const char*>(at), nameLength);
    section.virtualSize = LoadU32(at + 8);
    section.virtualAddress = LoadU32(at + 12);
    section.sizeOfRawData = LoadU32(at + 16);
    section.pointerToRawData = LoadU32(at + 20);
    section.characteristics = LoadU32(at + 36);
    if (section.sizeOfRawData != 0)
      image.rawDataEnd = std::max<uint64_t>(
          image.rawDataEnd, uint64_t{section.pointerToRawData} + section.sizeOfRawData);
    image.sections.push_back(section);
  }
  return true;
}

}  // namespace

std::optional<uint32_t> PeHeaderOffset(const uint8_t* dos, size_t size) {
  if (size < kDosHeaderSize || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
  return LoadU32(dos + kPeHeaderOffsetAt);
}

bool IsPeSignature(const uint8_t* at) { return at[0] == 'P' && at[1] == 'E' && !at[2] && !at[3]; }

PeDataDirectory PeImage::Directory(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= dataDirectories.size()) return {};
  return dataDirectories[index];
}

std::optional<PeImage> ReadPeImage(const uint8_t* bytes, size_t size, std::string* problem) {
  PeImage image;
  uint16_t sectionCount = 0;
  uint16_t optionalSize = 0;
  if (!ReadFileHeader(bytes, size, image, sectionCount, optionalSize, problem) ||
      !ReadOptionalHeader(bytes, size, optionalSize, image, problem) ||
      !ReadSections(bytes, size, sectionCount, optionalSize, image, problem))
    return std::nullopt;
  return image;
}

std::optional<uint64_t> FileOffsetOfRva(const PeImage& image, uint32_t rva) {
  for (const PeSection& section : image.sections) {
    uint32_t extent = std::max(section.virtualSize, section.sizeOfRawData);
    if (rva >= section.virtualAddress && rva - section.virtualAddress < extent) {
      uint32_t into = rva - section.virtualAddress;
      if (into >= section.sizeOfRawData) return std::nullopt;  // zero-filled, not in the file
      return uint64_t{section.pointerToRawData} + into;
    }
  }
  if (rva < image.sizeOfHeaders) return rva;  // the headers map one to one
  return std::nullopt;
}

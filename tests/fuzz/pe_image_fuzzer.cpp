// The PE32+ header reader, the RVA mapping, the import names and the stub check over arbitrary
// files.
//
// Input: the file's bytes, copied into a heap block of exactly that size. Every field the reader
// reports is checked against the bytes it came from, and the reader must need exactly the headers
// and the section table: the same file cut one byte shorter is refused.
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "launch/scan_tail.h"
#include "launch/tail_window.h"
#include "pack/format/launcher_writer.h"
#include "pack/format/pe_image.h"
#include "pack/io/pack_error.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/pe_imports.h"

namespace {

uint16_t U16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

// Where the headers and the section table end, read from the bytes directly.
uint64_t HeadersEnd(const uint8_t* bytes) {
  uint64_t pe = LoadU32(bytes + 60);
  return pe + 4 + 20 + U16(bytes + pe + 20) + 40 * uint64_t{U16(bytes + pe + 6)};
}

void CheckImage(const PeImage& image, const uint8_t* bytes, size_t size) {
  const uint64_t pe = image.peHeaderOffset;
  FUZZ_CHECK(size >= 64 && pe == LoadU32(bytes + 60));
  FUZZ_CHECK(pe + 24 <= size && std::memcmp(bytes + pe, "PE\0\0", 4) == 0);
  FUZZ_CHECK(image.machine == U16(bytes + pe + 4));
  FUZZ_CHECK(image.characteristics == U16(bytes + pe + 22));
  const uint64_t optional = pe + 24;
  const uint16_t optionalSize = U16(bytes + pe + 20);
  const uint64_t end = HeadersEnd(bytes);
  FUZZ_CHECK(end <= size);
  FUZZ_CHECK(U16(bytes + optional) == kPe32PlusMagic);
  FUZZ_CHECK(image.sections.size() == U16(bytes + pe + 6));
  FUZZ_CHECK(image.dataDirectories.size() == LoadU32(bytes + optional + 108));
  FUZZ_CHECK(112 + 8 * image.dataDirectories.size() <= optionalSize);

  // The two fields the tool writes into a built file: the checksum and the certificate entry.
  FUZZ_CHECK(image.checksumOffset == optional + 64);
  FUZZ_CHECK(image.checkSum == LoadU32(bytes + image.checksumOffset));
  FUZZ_CHECK(image.sizeOfHeaders == LoadU32(bytes + optional + 60));
  FUZZ_CHECK(image.certificateEntryOffset == optional + 112 + 8 * kCertificateDirectory);
  PeDataDirectory table = image.Directory(kCertificateDirectory);
  if (image.dataDirectories.size() > static_cast<size_t>(kCertificateDirectory)) {
    FUZZ_CHECK(image.certificateEntryOffset + 8 <= size);
    FUZZ_CHECK(table.address == LoadU32(bytes + image.certificateEntryOffset));
    FUZZ_CHECK(table.size == LoadU32(bytes + image.certificateEntryOffset + 4));
  } else {
    FUZZ_CHECK(table.address == 0 && table.size == 0);
  }
  FUZZ_CHECK(image.IsSigned() == (table.size != 0));
  PeDataDirectory beyond = image.Directory(static_cast<int>(image.dataDirectories.size()));
  FUZZ_CHECK(beyond.address == 0 && beyond.size == 0);
  FUZZ_CHECK(image.Directory(-1).size == 0);

  FUZZ_CHECK(image.rawDataEnd >= end && image.rawDataEnd >= image.sizeOfHeaders);
  for (size_t i = 0; i < image.sections.size(); ++i) {
    const PeSection& section = image.sections[i];
    const uint8_t* header = bytes + optional + optionalSize + 40 * i;
    FUZZ_CHECK(section.name.size() <= 8 && section.name.find('\0') == std::string::npos);
    FUZZ_CHECK(std::memcmp(section.name.data(), header, section.name.size()) == 0);
    FUZZ_CHECK(section.virtualAddress == LoadU32(header + 12));
    FUZZ_CHECK(section.pointerToRawData == LoadU32(header + 20));
    FUZZ_CHECK(section.sizeOfRawData == LoadU32(header + 16));
    if (section.sizeOfRawData != 0)
      FUZZ_CHECK(image.rawDataEnd >= uint64_t{section.pointerToRawData} + section.sizeOfRawData);
  }

  // Exactly the headers and the section table are needed.
  std::string problem;
  std::optional<PeImage> again = ReadPeImage(bytes, static_cast<size_t>(end), &problem);
  FUZZ_CHECK(again && again->sections.size() == image.sections.size() &&
             again->checkSum == image.checkSum && again->rawDataEnd == image.rawDataEnd);
  FUZZ_CHECK(!ReadPeImage(bytes, static_cast<size_t>(end - 1), &problem) && !problem.empty());
}

// A mapped RVA lies in the file data of a section (or in the headers) at the matching distance.
void CheckRva(const PeImage& image, uint32_t rva) {
  std::optional<uint64_t> at = FileOffsetOfRva(image, rva);
  if (!at) return;
  bool explained = rva < image.sizeOfHeaders && *at == rva;
  for (const PeSection& section : image.sections) {
    if (rva >= section.virtualAddress && rva - section.virtualAddress < section.sizeOfRawData &&
        *at == uint64_t{section.pointerToRawData} + (rva - section.virtualAddress))
      explained = true;
  }
  FUZZ_CHECK(explained);
}

void CheckImports(const PeImage& image, const uint8_t* bytes, size_t size) {
  std::string problem;
  std::vector<std::string> names = ImportedDllNames(image, bytes, size, &problem);
  FUZZ_CHECK(names.size() <= size / 20);  // one 20-byte descriptor each, inside the file
  for (const std::string& name : names) FUZZ_CHECK(name.find('\0') == std::string::npos);
}

// A stub the tool accepts can really carry a payload.
void CheckStubRules(const uint8_t* bytes, size_t size) {
  std::vector<uint8_t> stub(bytes, bytes + size);
  std::optional<PeImage> image;
  try {
    image = CheckStub(stub, "the stub");
  } catch (const PackError& refused) {
    FUZZ_CHECK(std::strlen(refused.what()) != 0);
    return;
  }
  FUZZ_CHECK(!image->IsDll() && !image->IsSigned());
  FUZZ_CHECK(image->rawDataEnd <= size);
  FUZZ_CHECK(image->dataDirectories.size() > static_cast<size_t>(kCertificateDirectory));
  int32_t w = WindowStart(static_cast<int32_t>(size));
  PayloadNames names;
  AnchorRecord record;
  FUZZ_CHECK(ScanTail(stub.data() + w, static_cast<int32_t>(size) - w, w, names, record) ==
             kNoMatch);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
  if (size != 0) std::memcpy(bytes.get(), data, size);

  std::string problem;
  std::optional<PeImage> image = ReadPeImage(bytes.get(), size, &problem);
  CheckStubRules(bytes.get(), size);
  if (!image) {
    FUZZ_CHECK(!problem.empty());
    return 0;
  }
  CheckImage(*image, bytes.get(), size);
  for (const PeSection& section : image->sections) {
    CheckRva(*image, section.virtualAddress);
    CheckRva(*image, section.virtualAddress + section.sizeOfRawData - 1);
    CheckRva(*image, section.virtualAddress + section.virtualSize);
  }
  for (const PeDataDirectory& directory : image->dataDirectories)
    CheckRva(*image, directory.address);
  CheckImports(*image, bytes.get(), size);
  return 0;
}

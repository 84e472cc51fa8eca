// Reading the headers of a PE32+ image (the launcher's own executable at the start of every
// launcher file): the settings the loader applies, the section table and the data directories.
// Platform-free: works on bytes read from any file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Data directory slots in the optional header.
constexpr int kImportDirectory = 1;
constexpr int kResourceDirectory = 2;
constexpr int kCertificateDirectory = 4;  // its "address" is a file offset, not an RVA
constexpr int kBaseRelocationDirectory = 5;

constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint16_t kImageFileExecutableImage = 0x0002;
constexpr uint16_t kImageFileDll = 0x2000;
constexpr uint16_t kSubsystemWindowsGui = 2;
constexpr uint16_t kSubsystemWindowsCui = 3;

// The first bytes of every Windows program (32-bit ones too): the MZ header, whose e_lfanew at
// byte 60 names where "PE\0\0" stands.
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPeHeaderOffsetAt = 60;
// e_lfanew, when `dos` (the file's first `size` bytes) starts with an MZ header; nothing otherwise.
std::optional<uint32_t> PeHeaderOffset(const uint8_t* dos, size_t size);
// Whether the 4 bytes at `at` are the PE signature.
bool IsPeSignature(const uint8_t* at);

struct PeDataDirectory {
  uint32_t address = 0;  // RVA, or file offset for the certificate table
  uint32_t size = 0;
};

struct PeSection {
  std::string name;  // up to 8 characters
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t pointerToRawData = 0;
  uint32_t sizeOfRawData = 0;
  uint32_t characteristics = 0;
};

struct PeImage {
  uint32_t peHeaderOffset = 0;  // e_lfanew: where "PE\0\0" stands
  // File header.
  uint16_t machine = 0;
  uint32_t timeDateStamp = 0;
  uint16_t characteristics = 0;
  // Optional header (PE32+).
  uint8_t majorLinkerVersion = 0;
  uint8_t minorLinkerVersion = 0;
  uint32_t addressOfEntryPoint = 0;
  uint64_t imageBase = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint16_t majorOperatingSystemVersion = 0;
  uint16_t minorOperatingSystemVersion = 0;
  uint16_t majorImageVersion = 0;
  uint16_t minorImageVersion = 0;
  uint16_t majorSubsystemVersion = 0;
  uint16_t minorSubsystemVersion = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t checkSum = 0;
  uint16_t subsystem = 0;
  uint16_t dllCharacteristics = 0;
  uint64_t sizeOfStackReserve = 0;
  uint64_t sizeOfStackCommit = 0;
  uint64_t sizeOfHeapReserve = 0;
  uint64_t sizeOfHeapCommit = 0;
  std::vector<PeDataDirectory> dataDirectories;  // NumberOfRvaAndSizes entries
  std::vector<PeSection> sections;

  uint32_t checksumOffset = 0;          // file offset of the CheckSum field
  uint32_t certificateEntryOffset = 0;  // file offset of the certificate directory entry
  uint64_t rawDataEnd = 0;              // end of the headers and of every section's file data

  // An absent slot reads as empty.
  PeDataDirectory Directory(int index) const;
  bool IsDll() const { return (characteristics & kImageFileDll) != 0; }
  bool IsSigned() const { return Directory(kCertificateDirectory).size != 0; }
};

// Reads the headers at the start of `bytes` (the first `size` bytes of a file; the headers and
// the section table must be among them). Returns nothing and says why in `problem` when the bytes
// do not start with a PE32+ image.
std::optional<PeImage> ReadPeImage(const uint8_t* bytes, size_t size, std::string* problem);

// The file offset of an RVA, through the section that maps it; nothing when no section holds it.
std::optional<uint64_t> FileOffsetOfRva(const PeImage& image, uint32_t rva);

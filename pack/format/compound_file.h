// The compound file (OLE structured storage) a Windows Installer package is stored in: the header,
// the sector allocation table (FAT) and its extension (DIFAT), the mini stream for small streams
// and the directory. Read on any platform by the tool itself, for inspect's package fields; it
// reads only what it is asked for, and every count, size and chain comes from the file, so each
// is checked against the file's size before it is used.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "pack/io/input_file.h"

// A package that cannot be read as a compound file or as a Windows Installer database; the
// message says what is wrong with it, without the file's name.
class PackageFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The bytes a compound file is read from: a package in memory, or a part of a launcher file.
class PackageBytes {
 public:
  explicit PackageBytes(const std::vector<uint8_t>& bytes) : memory_(&bytes), size_(bytes.size()) {}
  PackageBytes(InputFile& file, uint64_t offset, uint64_t size)
      : file_(&file), offset_(offset), size_(size) {}

  uint64_t Size() const { return size_; }
  // Exactly `count` bytes at `at`; PackageFormatError for a range outside the package.
  void Read(uint64_t at, uint8_t* bytes, size_t count) const;

 private:
  const std::vector<uint8_t>* memory_ = nullptr;
  InputFile* file_ = nullptr;
  uint64_t offset_ = 0;
  uint64_t size_ = 0;
};

class CompoundFile {
 public:
  // Reads the header, the FAT, the mini FAT and the directory; PackageFormatError when any of them
  // is damaged (a wrong signature or sector size, a chain that loops or leaves the file, a table
  // larger than the file could hold).
  explicit CompoundFile(const PackageBytes& bytes);

  // The whole stream of that name directly under the root storage; nothing when there is none.
  // Names are compared exactly, as the package's own writer stored them.
  std::optional<std::vector<uint8_t>> RootStream(const std::u16string& name) const;

 private:
  struct Entry {
    std::u16string name;
    uint8_t type = 0;
    uint32_t left = 0, right = 0, child = 0;
    uint32_t start = 0;
    uint64_t size = 0;
  };

  std::vector<uint8_t> Sector(uint32_t index) const;
  // The sectors of a chain in order: at most `limit`, or until its end when `limit` is 0.
  std::vector<uint32_t> Chain(uint32_t start, const std::vector<uint32_t>& table, uint64_t limit,
                              const char* what) const;
  std::vector<uint8_t> ReadStream(const Entry& entry) const;

  const PackageBytes& bytes_;
  uint32_t sectorSize_ = 512;
  uint32_t miniSectorSize_ = 64;
  uint32_t miniCutoff_ = 4096;
  uint64_t sectorCount_ = 0;  // whole sectors after the header
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> miniFat_;
  std::vector<Entry> directory_;
  std::vector<uint8_t> miniStream_;
};

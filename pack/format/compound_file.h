// The compound file (OLE structured storage) a Windows Installer package is stored in: the header,
// the sector allocation table (FAT) and its extension (DIFAT), the mini stream for small streams
// and the directory. Read on any platform by the tool itself, for inspect's package fields; it
// reads only what it is asked for, and every count, size and chain comes from the file, so each
// is checked against the file's size before it is used.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
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
  // Bytes handed out by `read`, which fills `count` bytes from `at` (within `size`).
  using Reader = std::function<void(uint64_t at, uint8_t* bytes, size_t count)>;
  PackageBytes(uint64_t size, Reader read) : read_(std::move(read)), size_(size) {}

  uint64_t Size() const { return size_; }
  // Exactly `count` bytes at `at`; PackageFormatError for a range outside the package.
  void Read(uint64_t at, uint8_t* bytes, size_t count) const;

 private:
  const std::vector<uint8_t>* memory_ = nullptr;
  InputFile* file_ = nullptr;
  Reader read_;
  uint64_t offset_ = 0;
  uint64_t size_ = 0;
};

// Receives a stream's bytes, a piece at a time and in order.
using ByteSink = std::function<void(const uint8_t* bytes, size_t count)>;

class CompoundFile {
 public:
  // Reads the header, the FAT and the directory; PackageFormatError when any of them is damaged (a
  // wrong signature or sector size, a chain that loops or leaves the file, a table larger than the
  // file could hold). The mini FAT and the mini stream are read when a small stream is first read.
  explicit CompoundFile(const PackageBytes& bytes);

  static constexpr uint8_t kStorage = 1, kStream = 2, kRoot = 5;
  struct Entry {
    std::u16string name;  // without its terminating zero
    uint8_t type = 0;
    uint32_t left = 0, right = 0, child = 0;
    uint8_t clsid[16] = {};
    uint8_t stateBits[4] = {};
    uint8_t created[8] = {}, modified[8] = {};  // FILETIMEs as stored
    uint32_t start = 0;
    uint64_t size = 0;
  };

  // The whole stream of that name directly under the root storage; nothing when there is none.
  // Names are compared exactly, as the package's own writer stored them.
  std::optional<std::vector<uint8_t>> RootStream(const std::u16string& name) const;
  // Whether a stream entry of the directory bears `name`, whichever storage holds it.
  bool HasStream(const std::u16string& name) const;

  size_t EntryCount() const { return directory_.size(); }
  const Entry& At(uint32_t index) const { return directory_[index]; }
  // The entries directly under the storage (or root) at `index`, each at most once, in no order.
  std::vector<uint32_t> Children(uint32_t index) const;
  // The stream's bytes handed to `sink` a sector at a time.
  void ReadStream(const Entry& entry, const ByteSink& sink) const;

 private:
  std::vector<uint8_t> Sector(uint32_t index) const;
  // The sectors of a chain in order: at most `limit`, or until its end when `limit` is 0.
  std::vector<uint32_t> Chain(uint32_t start, const std::vector<uint32_t>& table, uint64_t limit,
                              const char* what) const;
  std::vector<uint8_t> ReadStream(const Entry& entry) const;
  void ReadMiniStream() const;

  const PackageBytes& bytes_;
  uint32_t sectorSize_ = 512;
  uint32_t miniSectorSize_ = 64;
  uint32_t miniShift_ = 6;
  uint32_t miniCutoff_ = 4096;
  uint32_t miniFatStart_ = 0;
  uint32_t miniFatSectors_ = 0;
  uint64_t sectorCount_ = 0;  // whole sectors after the header
  std::vector<uint32_t> fat_;
  std::vector<Entry> directory_;
  mutable bool miniRead_ = false;
  mutable std::vector<uint32_t> miniFat_;
  mutable std::vector<uint8_t> miniStream_;
};

// Windows Installer packages made in memory for the reader's tests and fuzz seeds: a compound file
// of version 3 (512-byte sectors) with streams under its root, streams under 4096 bytes in the
// mini stream, and the string pool and Property table of a package. The layout is known, so a
// test can damage one structure at a time.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct BuiltStream {
  std::u16string name;
  std::vector<uint8_t> data;
};

// Where the builder put things, for the tests that damage them.
struct CompoundLayout {
  uint32_t firstFatSector = 0;
  uint32_t firstDirectorySector = 0;
  std::vector<uint32_t> streamStarts;  // per stream, in its own table (FAT or mini FAT)
};

std::vector<uint8_t> BuildCompoundFile(const std::vector<BuiltStream>& streams,
                                       CompoundLayout* layout = nullptr);

// _StringPool, _StringData and Property for these rows, the strings stored in `codepage` as the
// bytes given; with `longReferences` the pool is marked for 3-byte string numbers.
std::vector<BuiltStream> MsiPropertyStreams(
    const std::vector<std::pair<std::string, std::string>>& properties, uint32_t codepage = 65001,
    bool longReferences = false);

// The Property table `streams` (MsiPropertyStreams' three) with its row `row` written `times` times
// in its place: many rows naming the same strings, without the memory of copies of them.
void RepeatPropertyRow(std::vector<BuiltStream>& streams, size_t row, size_t times);

// The Property rows of the example product's package (examples/product): a per-machine install.
extern const std::vector<std::pair<std::string, std::string>> kExampleProductProperties;

// The file's 32-bit little-endian value at `at`.
void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);

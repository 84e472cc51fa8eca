#include "tests/support/compound_file_builder.h"

#include <algorithm>
#include <map>

#include "pack/format/msi_package.h"

namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kMiniSector = 64;
constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kFatMark = 0xFFFFFFFD;
constexpr uint32_t kFree = 0xFFFFFFFF;

void PutLe16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// Appends `data` in units of `unit` bytes to `area`, chained in `table`; the first unit's number.
uint32_t Chain(std::vector<uint8_t>& area, std::vector<uint32_t>& table,
               const std::vector<uint8_t>& data, uint32_t unit) {
  if (data.empty()) return kEnd;
  uint32_t first = static_cast<uint32_t>(table.size());
  size_t units = (data.size() + unit - 1) / unit;
  for (size_t i = 0; i < units; ++i)
    table.push_back(i + 1 < units ? static_cast<uint32_t>(table.size() + 1) : kEnd);
  area.insert(area.end(), data.begin(), data.end());
  area.resize(area.size() + (units * unit - data.size()));
  return first;
}

std::vector<uint8_t> Entry(const std::u16string& name, uint8_t type, uint32_t right, uint32_t child,
                           uint32_t start, uint64_t size) {
  std::vector<uint8_t> e(128);
  for (size_t i = 0; i < name.size() && i < 31; ++i) PutLe16(e, 2 * i, name[i]);
  PutLe16(e, 64, static_cast<uint32_t>(2 * (std::min<size_t>(name.size(), 31) + 1)));
  e[66] = type;
  e[67] = 1;  // black
  PutLe32(e, 68, kFree);
  PutLe32(e, 72, right);
  PutLe32(e, 76, child);
  PutLe32(e, 116, start);
  PutLe32(e, 120, static_cast<uint32_t>(size));
  return e;
}

}  // namespace

void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> BuildCompoundFile(const std::vector<BuiltStream>& streams,
                                       CompoundLayout* layout) {
  std::vector<uint8_t> sectors, mini;
  std::vector<uint32_t> fat, miniFat;
  CompoundLayout built;
  for (const BuiltStream& s : streams)
    built.streamStarts.push_back(s.data.size() < 4096 ? Chain(mini, miniFat, s.data, kMiniSector)
                                                      : Chain(sectors, fat, s.data, kSector));
  uint32_t miniStart = Chain(sectors, fat, mini, kSector);
  std::vector<uint8_t> miniFatBytes(miniFat.size() * 4);
  for (size_t i = 0; i < miniFat.size(); ++i) PutLe32(miniFatBytes, 4 * i, miniFat[i]);
  if (!miniFatBytes.empty())
    miniFatBytes.resize(((miniFatBytes.size() + kSector - 1) / kSector) * kSector, 0xFF);
  uint32_t miniFatStart = Chain(sectors, fat, miniFatBytes, kSector);

  std::vector<uint8_t> directory =
      Entry(u"Root Entry", 5, kFree, streams.empty() ? kFree : 1, miniStart, mini.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    uint32_t right = i + 1 < streams.size() ? static_cast<uint32_t>(i + 2) : kFree;
    std::vector<uint8_t> e =
        Entry(streams[i].name, 2, right, kFree, built.streamStarts[i], streams[i].data.size());
    directory.insert(directory.end(), e.begin(), e.end());
  }
  while (directory.size() % kSector) {
    std::vector<uint8_t> e = Entry(u"", 0, kFree, kFree, 0, 0);
    directory.insert(directory.end(), e.begin(), e.end());
  }
  built.firstDirectorySector = Chain(sectors, fat, directory, kSector);

  // The FAT's own sectors go last, marked as such in the FAT they make up.
  uint32_t fatSectors = 1;
  while ((fat.size() + fatSectors) > fatSectors * (kSector / 4)) ++fatSectors;
  built.firstFatSector = static_cast<uint32_t>(fat.size());
  for (uint32_t i = 0; i < fatSectors; ++i) fat.push_back(kFatMark);
  std::vector<uint8_t> fatBytes(fatSectors * kSector, 0xFF);
  for (size_t i = 0; i < fat.size(); ++i) PutLe32(fatBytes, 4 * i, fat[i]);
  sectors.insert(sectors.end(), fatBytes.begin(), fatBytes.end());

  std::vector<uint8_t> file(kSector, 0);
  const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(signature, signature + 8, file.begin());
  PutLe16(file, 0x18, 0x3E);
  PutLe16(file, 0x1A, 3);
  PutLe16(file, 0x1C, 0xFFFE);
  PutLe16(file, 0x1E, 9);
  PutLe16(file, 0x20, 6);
  PutLe32(file, 0x2C, fatSectors);
  PutLe32(file, 0x30, built.firstDirectorySector);
  PutLe32(file, 0x38, 4096);
  PutLe32(file, 0x3C, miniFatStart);
  PutLe32(file, 0x40, static_cast<uint32_t>(miniFatBytes.size() / kSector));
  PutLe32(file, 0x44, kEnd);
  PutLe32(file, 0x48, 0);
  for (size_t i = 0; i < 109; ++i)
    PutLe32(file, 0x4C + 4 * i,
            i < fatSectors ? built.firstFatSector + static_cast<uint32_t>(i) : kFree);
  file.insert(file.end(), sectors.begin(), sectors.end());
  if (layout) *layout = built;
  return file;
}

std::vector<BuiltStream> MsiPropertyStreams(
    const std::vector<std::pair<std::string, std::string>>& properties, uint32_t codepage,
    bool longReferences) {
  std::vector<std::string> strings;
  std::map<std::string, uint32_t> numbers;
  auto number = [&](const std::string& s) {
    auto found = numbers.find(s);
    if (found != numbers.end()) return found->second;
    strings.push_back(s);
    return numbers[s] = static_cast<uint32_t>(strings.size());
  };
  std::vector<uint32_t> names, values;
  for (const auto& [name, value] : properties) {
    names.push_back(number(name));
    values.push_back(number(value));
  }
  std::vector<uint8_t> pool(4), data;
  PutLe32(pool, 0, codepage | (longReferences ? 0x80000000u : 0));
  for (const std::string& s : strings) {
    size_t at = pool.size();
    if (s.size() > 0xFFFF) {
      pool.resize(at + 8);
      PutLe16(pool, at, 0);
      PutLe16(pool, at + 2, 1);
      PutLe16(pool, at + 4, static_cast<uint32_t>(s.size() & 0xFFFF));
      PutLe16(pool, at + 6, static_cast<uint32_t>(s.size() >> 16));
    } else {
      pool.resize(at + 4);
      PutLe16(pool, at, static_cast<uint32_t>(s.size()));
      PutLe16(pool, at + 2, 1);
    }
    data.insert(data.end(), s.begin(), s.end());
  }
  size_t width = longReferences ? 3 : 2;
  std::vector<uint8_t> table;
  for (const std::vector<uint32_t>* column : {&names, &values})
    for (uint32_t n : *column)
      for (size_t i = 0; i < width; ++i) table.push_back(static_cast<uint8_t>(n >> (8 * i)));
  return {{MsiTableStreamName("_StringPool"), pool},
          {MsiTableStreamName("_StringData"), data},
          {MsiTableStreamName("Property"), table}};
}

void RepeatPropertyRow(std::vector<BuiltStream>& streams, size_t row, size_t times) {
  std::vector<uint8_t>& table = streams[2].data;
  size_t width = streams[0].data[3] & 0x80 ? 3 : 2;
  size_t rows = table.size() / (2 * width);
  std::vector<uint8_t> repeated;
  for (size_t column = 0; column < 2; ++column) {
    auto at = [&](size_t r) { return table.begin() + (column * rows + r) * width; };
    repeated.insert(repeated.end(), at(0), at(row));
    for (size_t i = 0; i < times; ++i) repeated.insert(repeated.end(), at(row), at(row + 1));
    repeated.insert(repeated.end(), at(row + 1), at(rows));
  }
  table = repeated;
}

const std::vector<std::pair<std::string, std::string>> kExampleProductProperties = {
    {"ProductCode", "{3F1E6C2A-7B9D-4E58-A0C4-5D2B8E61F937}"},
    {"UpgradeCode", "{6C0D6F1B-3E62-4E0C-9E4B-2A5D27A0B7C1}"},
    {"ProductVersion", "1.0.0"},
    {"ProductName", "Vossimere Example Product"},
    {"Manufacturer", "Vossimere example publisher"},
    {"ALLUSERS", "1"},
};

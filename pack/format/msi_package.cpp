#include "pack/format/msi_package.h"

#include <cstring>
#include <utility>

#include "launch/anchor_record.h"

namespace {

int MimeDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 36;
  if (c == '.') return 62;
  if (c == '_') return 63;
  return -1;
}

std::vector<uint8_t> Table(const CompoundFile& package, const std::string& name) {
  std::optional<std::vector<uint8_t>> stream = package.RootStream(MsiTableStreamName(name));
  if (!stream)
    throw PackageFormatError("not a Windows Installer database: it has no " + name + " stream");
  return std::move(*stream);
}

}  // namespace

std::u16string MsiTableStreamName(const std::string& table) {
  std::u16string name(1, char16_t{0x4840});
  for (size_t i = 0; i < table.size(); ++i) {
    int first = MimeDigit(table[i]);
    if (first < 0) {
      name.push_back(static_cast<unsigned char>(table[i]));
      continue;
    }
    int second = i + 1 < table.size() ? MimeDigit(table[i + 1]) : -1;
    if (second >= 0) {
      name.push_back(static_cast<char16_t>(0x3800 + (second << 6) + first));
      ++i;
    } else {
      name.push_back(static_cast<char16_t>(0x4800 + first));
    }
  }
  return name;
}

bool MsiStringPool::Equals(uint32_t number, const std::string& bytes) const {
  const Span& span = spans[number];
  return span.length == bytes.size() &&
         (bytes.empty() || std::memcmp(data.data() + span.offset, bytes.data(), bytes.size()) == 0);
}

CodePageText MsiStringPool::Text(uint32_t number) const {
  const Span& span = spans[number];
  return CodePageToUtf8(codepage == 0 ? 1252 : codepage,
                        reinterpret_cast<const char*>(data.data() + span.offset), span.length);
}

MsiStringPool ReadMsiStringPool(const std::vector<uint8_t>& pool, std::vector<uint8_t> data) {
  if (pool.size() < 4 || pool.size() % 4)
    throw PackageFormatError("the string pool's length, " + std::to_string(pool.size()) +
                             " bytes, is not a whole number of 4-byte entries");
  MsiStringPool result;
  result.codepage = LoadU16(pool.data()) | uint32_t{LoadU16(pool.data() + 2) & 0x7FFFu} << 16;
  result.referenceBytes = pool[3] & 0x80 ? 3 : 2;
  result.spans.emplace_back();
  // Each entry is a length and a reference count; an entry with a length of 0 but a count is a
  // string of 64 KiB or more, its length's high half in the next entry's count.
  size_t entries = pool.size() / 4;
  result.spans.reserve(entries);
  uint64_t offset = 0;
  for (size_t i = 1; i < entries;) {
    const uint8_t* e = pool.data() + 4 * i;
    uint32_t length = LoadU16(e);
    uint32_t references = LoadU16(e + 2);
    if (length == 0 && references == 0) {
      result.spans.push_back({offset, 0});
      ++i;
      continue;
    }
    if (length == 0) {
      if (i + 1 >= entries) throw PackageFormatError("the string pool ends inside an entry");
      length = LoadU16(e + 4) | uint32_t{LoadU16(e + 6)} << 16;
      i += 2;
    } else {
      i += 1;
    }
    if (length > data.size() - offset)
      throw PackageFormatError("the string pool names more text than the string data holds");
    result.spans.push_back({offset, length});
    offset += length;
  }
  if (offset != data.size())
    throw PackageFormatError("the string data holds " + std::to_string(data.size() - offset) +
                             " bytes the string pool does not account for");
  result.data = std::move(data);
  return result;
}

namespace {

// The Property table has two string columns, Property and Value; a table is stored a column after
// the other, each value a string number of referenceBytes bytes. Calls `row` with the two
// numbers of each row, checked against the pool.
template <typename Row>
void EachProperty(const CompoundFile& package, const MsiStringPool& pool, Row row) {
  std::vector<uint8_t> table = Table(package, "Property");
  size_t width = static_cast<size_t>(pool.referenceBytes);
  if (table.size() % (2 * width))
    throw PackageFormatError("the Property table's " + std::to_string(table.size()) +
                             " bytes are not whole rows of two string columns");
  size_t rows = table.size() / (2 * width);
  auto number = [&](size_t at, size_t column) {
    const uint8_t* p = table.data() + (column * rows + at) * width;
    uint32_t n = LoadU16(p) | (width == 3 ? uint32_t{p[2]} << 16 : 0);
    if (n >= pool.Count())
      throw PackageFormatError("the Property table refers to string " + std::to_string(n) +
                               ", beyond the " + std::to_string(pool.Count() - 1) +
                               " in the string pool");
    return n;
  };
  for (size_t at = 0; at < rows; ++at) row(number(at, 0), number(at, 1));
}

MsiStringPool StringPool(const CompoundFile& package) {
  return ReadMsiStringPool(Table(package, "_StringPool"), Table(package, "_StringData"));
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ReadMsiProperties(const CompoundFile& package) {
  MsiStringPool pool = StringPool(package);
  std::vector<std::pair<std::string, std::string>> properties;
  EachProperty(package, pool, [&](uint32_t name, uint32_t value) {
    properties.emplace_back(pool.Text(name).utf8, pool.Text(value).utf8);
  });
  return properties;
}

bool MsiPackageFields::Converted(const std::string& property) const {
  for (const Unconverted& u : unconverted)
    if (u.property == property) return false;
  return true;
}

std::string UnconvertedWarning(const MsiPackageFields& fields,
                               const MsiPackageFields::Unconverted& field) {
  return field.property + ": " +
         (field.result == CodePageResult::kNoConverter
              ? "code page " + std::to_string(fields.codepage) +
                    " cannot be converted on this platform"
              : "bytes that are not text in code page " + std::to_string(fields.codepage)) +
         "; shown with U+FFFD in their place";
}

const MsiPackageField kMsiPackageFields[7] = {
    {"ProductCode", &MsiPackageFields::productCode},
    {"UpgradeCode", &MsiPackageFields::upgradeCode},
    {"ProductVersion", &MsiPackageFields::productVersion},
    {"ProductName", &MsiPackageFields::productName},
    {"Manufacturer", &MsiPackageFields::manufacturer},
    {"ALLUSERS", &MsiPackageFields::allUsers},
    {"MSIINSTALLPERUSER", &MsiPackageFields::installPerUser},
};

MsiPackageFields ReadMsiPackageFields(const PackageBytes& package) {
  CompoundFile file(package);
  MsiStringPool pool = StringPool(file);
  MsiPackageFields fields;
  fields.codepage = pool.codepage;
  // Names are compared as the bytes stored: the names wanted are ASCII, the same in every code
  // page. Only the first row of each name is converted and kept.
  EachProperty(file, pool, [&](uint32_t name, uint32_t value) {
    for (const MsiPackageField& w : kMsiPackageFields) {
      std::optional<std::string>& field = fields.*w.value;
      if (field || !pool.Equals(name, w.property)) continue;
      CodePageText text = pool.Text(value);
      field = std::move(text.utf8);
      if (text.result != CodePageResult::kConverted)
        fields.unconverted.push_back({w.property, text.result});
    }
  });
  return fields;
}

std::optional<MsiScope> ScopeOf(const MsiPackageFields& fields) {
  std::string allUsers = fields.allUsers.value_or("");
  if (allUsers.empty()) return MsiScope::kUser;
  if (allUsers == "1") return MsiScope::kMachine;
  if (allUsers == "2")
    return fields.installPerUser.value_or("") == "1" ? MsiScope::kUser : MsiScope::kMachine;
  return std::nullopt;
}

const char* ScopeName(MsiScope scope) { return scope == MsiScope::kUser ? "user" : "machine"; }

#include "pack/format/msi_package.h"

#include "pack/text/utf.h"

namespace {

// Windows-1252's characters 0x80-0x9F; the five it leaves undefined keep their own value, as
// Windows' conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int MimeDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 36;
  if (c == '.') return 62;
  if (c == '_') return 63;
  return -1;
}

std::string ToUtf8(const uint8_t* bytes, size_t count, uint32_t codepage) {
  std::string out;
  if (codepage == 65001) {
    std::string raw(reinterpret_cast<const char*>(bytes), count);
    for (size_t at = 0; at < raw.size();) {
      char32_t c;
      size_t length = DecodeUtf8At(raw, at, c);
      AppendUtf8(out, length ? c : U'\uFFFD');
      at += length ? length : 1;
    }
    return out;
  }
  bool western = codepage == 0 || codepage == 1252 || codepage == 28591;
  for (size_t i = 0; i < count; ++i) {
    uint8_t b = bytes[i];
    char32_t c = b;
    if (b >= 0x80 && !western) c = U'\uFFFD';
    if (b >= 0x80 && b < 0xA0 && codepage != 28591 && western) c = kCp1252High[b - 0x80];
    AppendUtf8(out, c);
  }
  return out;
}

uint32_t Le16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }

std::vector<uint8_t> Table(const CompoundFile& package, const std::string& name) {
  std::optional<std::vector<uint8_t>> stream = package.RootStream(MsiTableStreamName(name));
  if (!stream)
    throw PackageFormatError("not a Windows Installer database: it has no " + name + " stream");
  return *stream;
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

MsiStringPool ReadMsiStringPool(const std::vector<uint8_t>& pool,
                                const std::vector<uint8_t>& data) {
  if (pool.size() < 4 || pool.size() % 4)
    throw PackageFormatError("the string pool's length, " + std::to_string(pool.size()) +
                             " bytes, is not a whole number of 4-byte entries");
  MsiStringPool result;
  result.codepage = Le16(pool.data()) | (Le16(pool.data() + 2) & 0x7FFF) << 16;
  result.referenceBytes = pool[3] & 0x80 ? 3 : 2;
  result.strings.emplace_back();
  // Each entry is a length and a reference count; an entry with a length of 0 but a count is a
  // string of 64 KiB or more, its length's high half in the next entry's count.
  size_t entries = pool.size() / 4;
  uint64_t offset = 0;
  for (size_t i = 1; i < entries;) {
    const uint8_t* e = pool.data() + 4 * i;
    uint32_t length = Le16(e);
    uint32_t references = Le16(e + 2);
    if (length == 0 && references == 0) {
      result.strings.emplace_back();
      ++i;
      continue;
    }
    if (length == 0) {
      if (i + 1 >= entries) throw PackageFormatError("the string pool ends inside an entry");
      length = Le16(e + 4) | Le16(e + 6) << 16;
      i += 2;
    } else {
      i += 1;
    }
    if (length > data.size() - offset)
      throw PackageFormatError("the string pool names more text than the string data holds");
    result.strings.push_back(ToUtf8(data.data() + offset, length, result.codepage));
    offset += length;
  }
  if (offset != data.size())
    throw PackageFormatError("the string data holds " + std::to_string(data.size() - offset) +
                             " bytes the string pool does not account for");
  return result;
}

std::vector<std::pair<std::string, std::string>> ReadMsiProperties(const CompoundFile& package) {
  MsiStringPool pool =
      ReadMsiStringPool(Table(package, "_StringPool"), Table(package, "_StringData"));
  // The Property table has two string columns, Property and Value; a table is stored a column
  // after the other, each value a string number of referenceBytes bytes.
  std::vector<uint8_t> table = Table(package, "Property");
  size_t width = static_cast<size_t>(pool.referenceBytes);
  if (table.size() % (2 * width))
    throw PackageFormatError("the Property table's " + std::to_string(table.size()) +
                             " bytes are not whole rows of two string columns");
  size_t rows = table.size() / (2 * width);
  auto string = [&](size_t row, size_t column) -> const std::string& {
    const uint8_t* p = table.data() + (column * rows + row) * width;
    uint32_t number = Le16(p) | (width == 3 ? uint32_t{p[2]} << 16 : 0);
    if (number >= pool.strings.size())
      throw PackageFormatError("the Property table refers to string " + std::to_string(number) +
                               ", beyond the " + std::to_string(pool.strings.size() - 1) +
                               " in the string pool");
    return pool.strings[number];
  };
  std::vector<std::pair<std::string, std::string>> properties;
  for (size_t row = 0; row < rows; ++row) properties.emplace_back(string(row, 0), string(row, 1));
  return properties;
}

MsiPackageFields ReadMsiPackageFields(const PackageBytes& package) {
  CompoundFile file(package);
  MsiPackageFields fields;
  for (auto& [name, value] : ReadMsiProperties(file)) {
    std::optional<std::string>* field = name == "ProductCode"         ? &fields.productCode
                                        : name == "UpgradeCode"       ? &fields.upgradeCode
                                        : name == "ProductVersion"    ? &fields.productVersion
                                        : name == "ProductName"       ? &fields.productName
                                        : name == "Manufacturer"      ? &fields.manufacturer
                                        : name == "ALLUSERS"          ? &fields.allUsers
                                        : name == "MSIINSTALLPERUSER" ? &fields.installPerUser
                                                                      : nullptr;
    if (field && !*field) *field = value;
  }
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

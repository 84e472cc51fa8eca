// The fields package managers and deployment tools need from a Windows Installer package, read
// from its Property table: the codes that identify the product and its upgrades, the version and
// the names shown in Apps & Features, and the properties that choose the install scope.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pack/format/compound_file.h"
#include "pack/text/code_page.h"

// The name of a table's stream in the compound file: the characters 0-9, A-Z, a-z, '.' and '_'
// packed two to a UTF-16 unit (one when it stands alone), after the mark 0x4840 of a table.
std::u16string MsiTableStreamName(const std::string& table);

// The string pool: the strings every table refers to by number, kept as the package stores them
// (the bytes of _StringData and where each string lies in them), so that it takes no more memory
// than its streams; a string is converted when it is asked for. Number 0 is the null string.
// `referenceBytes` is 2, or 3 in a pool of more than 65535 strings.
struct MsiStringPool {
  struct Span {
    uint64_t offset = 0;
    uint32_t length = 0;
  };
  uint32_t codepage = 0;
  int referenceBytes = 2;
  std::vector<uint8_t> data;
  std::vector<Span> spans;  // spans[0] is the null string

  size_t Count() const { return spans.size(); }
  // Whether string `number` is exactly these bytes.
  bool Equals(uint32_t number, const std::string& bytes) const;
  // String `number` in UTF-8, converted from the code page by the platform (code page 0, the
  // neutral one, read as 1252).
  CodePageText Text(uint32_t number) const;
};

// From the _StringPool and _StringData streams; PackageFormatError when they disagree.
MsiStringPool ReadMsiStringPool(const std::vector<uint8_t>& pool, std::vector<uint8_t> data);

// The Property table's rows, in the order stored: name and value. Every row is copied; the
// fields below are read without that.
std::vector<std::pair<std::string, std::string>> ReadMsiProperties(const CompoundFile& package);

struct MsiPackageFields {
  std::optional<std::string> productCode, upgradeCode, productVersion, productName, manufacturer,
      allUsers, installPerUser;
  uint32_t codepage = 0;
  // The fields whose text is not known exactly: the code page is one the platform cannot convert,
  // or some bytes are not text in it. Shown with U+FFFD in their place; never to be published.
  struct Unconverted {
    std::string property;  // "ProductName"
    CodePageResult result = CodePageResult::kNoConverter;
  };
  std::vector<Unconverted> unconverted;

  bool Converted(const std::string& property) const;
};

// The fields above by their Property names, in the order the reports show them.
struct MsiPackageField {
  const char* property;  // "ProductCode"
  std::optional<std::string> MsiPackageFields::*value;
};
extern const MsiPackageField kMsiPackageFields[7];

// The warning for one unconverted field: "ProductName: code page 12345 cannot be converted on
// this platform".
std::string UnconvertedWarning(const MsiPackageFields& fields,
                               const MsiPackageFields::Unconverted& field);

// Reads the package's Property table, converting only the values it keeps; PackageFormatError
// when the package is not a readable Windows Installer database.
MsiPackageFields ReadMsiPackageFields(const PackageBytes& package);

// The install context the package chooses by itself, as Windows Installer 5 (Windows 7 and later)
// decides it: ALLUSERS absent or empty, per user; 1, per machine; 2, per user when
// MSIINSTALLPERUSER is 1 and per machine otherwise. Any other ALLUSERS: nothing, not documented.
enum class MsiScope { kUser, kMachine };
std::optional<MsiScope> ScopeOf(const MsiPackageFields& fields);
const char* ScopeName(MsiScope scope);  // "user", "machine", as winget names them

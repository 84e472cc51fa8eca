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

// The name of a table's stream in the compound file: the characters 0-9, A-Z, a-z, '.' and '_'
// packed two to a UTF-16 unit (one when it stands alone), after the mark 0x4840 of a table.
std::u16string MsiTableStreamName(const std::string& table);

// The string pool: the strings every table refers to by number, in UTF-8. Number 0 is the null
// string. `referenceBytes` is 2, or 3 in a pool of more than 65535 strings.
struct MsiStringPool {
  uint32_t codepage = 0;
  int referenceBytes = 2;
  std::vector<std::string> strings;  // strings[0] is empty
};

// From the _StringPool and _StringData streams; PackageFormatError when they disagree. Strings in
// code pages 65001 (UTF-8), 1252 and 0 (neutral, read as 1252) and 28591 are converted to UTF-8;
// in any other code page a byte beyond ASCII becomes U+FFFD.
MsiStringPool ReadMsiStringPool(const std::vector<uint8_t>& pool, const std::vector<uint8_t>& data);

// The Property table's rows, in the order stored: name and value.
std::vector<std::pair<std::string, std::string>> ReadMsiProperties(const CompoundFile& package);

struct MsiPackageFields {
  std::optional<std::string> productCode, upgradeCode, productVersion, productName, manufacturer,
      allUsers, installPerUser;
};

// Reads the package's Property table; PackageFormatError when the package is not a readable
// Windows Installer database.
MsiPackageFields ReadMsiPackageFields(const PackageBytes& package);

// The install context the package chooses by itself, as Windows Installer 5 (Windows 7 and later)
// decides it: ALLUSERS absent or empty, per user; 1, per machine; 2, per user when
// MSIINSTALLPERUSER is 1 and per machine otherwise. Any other ALLUSERS: nothing, not documented.
enum class MsiScope { kUser, kMachine };
std::optional<MsiScope> ScopeOf(const MsiPackageFields& fields);
const char* ScopeName(MsiScope scope);  // "user", "machine", as winget names them

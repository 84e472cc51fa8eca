// The package reader (compound file, string pool, Property table) over arbitrary packages.
//
// Input: the package itself, held in a heap buffer of exactly n bytes, so that any read outside it
// is caught by AddressSanitizer. The reader must either give fields or refuse the package with a
// PackageFormatError, never anything else; every field it gives is well-formed UTF-8, and the
// same bytes read twice give the same fields. The content the package's signature digests is
// handed out or refused the same way.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/format/msi_package.h"
#include "pack/format/msi_signed_content.h"
#include "pack/text/utf.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool WellFormed(const std::string& text) {
  char32_t value;
  for (size_t at = 0; at < text.size();) {
    size_t length = DecodeUtf8At(text, at, value);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::optional<MsiPackageFields> Read(const std::vector<uint8_t>& package) {
  try {
    return ReadMsiPackageFields(PackageBytes(package));
  } catch (const PackageFormatError& e) {
    FUZZ_CHECK(*e.what() != '\0');
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> package(data, data + size);
  // The signed bytes never exceed the package's (plus a CLSID a storage, 128-byte entries).
  uint64_t handedOut = 0;
  try {
    MsiSignedContent(PackageBytes(package), [&](const uint8_t* bytes, size_t count) {
      FUZZ_CHECK(count == 0 || bytes != nullptr);
      handedOut += count;
    });
    FUZZ_CHECK(handedOut <= 2 * uint64_t{size} + 16);
  } catch (const PackageFormatError& e) {
    FUZZ_CHECK(*e.what() != '\0');
  }
  try {
    MsiSignedMetadata(PackageBytes(package), [](const uint8_t* bytes, size_t count) {
      FUZZ_CHECK(count == 0 || bytes != nullptr);
    });
    ReadMsiSignatureStreams(PackageBytes(package), 1 << 20);
  } catch (const PackageFormatError& e) {
    FUZZ_CHECK(*e.what() != '\0');
  }
  std::optional<MsiPackageFields> fields = Read(package);
  if (!fields) return 0;
  for (const std::optional<std::string>* value :
       {&fields->productCode, &fields->upgradeCode, &fields->productVersion, &fields->productName,
        &fields->manufacturer, &fields->allUsers, &fields->installPerUser})
    if (*value) FUZZ_CHECK(WellFormed(**value));
  std::optional<MsiPackageFields> again = Read(package);
  FUZZ_CHECK(again && again->productCode == fields->productCode &&
             again->productName == fields->productName && again->allUsers == fields->allUsers);
  std::optional<MsiScope> scope = ScopeOf(*fields);
  FUZZ_CHECK(scope.has_value() == (fields->allUsers.value_or("").empty() ||
                                   *fields->allUsers == "1" || *fields->allUsers == "2"));
  return 0;
}

// The two ways of hiding a second trailer inside a signed launcher file's certificate table that
// leave the signature valid: the Authenticode hash leaves out the table, its directory entry and
// the checksum, so bytes added there change nothing the signature covers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/launcher_builder.h"

enum class Forgery {
  // Padding after the PKCS#7 blob; WIN_CERTIFICATE.dwLength and the directory size grown to match.
  kPaddingAfterTheSignature,
  // An unsigned attribute of the SignerInfo whose value holds the bytes; every DER length and
  // dwLength exact, no padding beyond the usual alignment to 8.
  kUnsignedAttribute,
};

// `signedFile` with `forged` (installer, package and names, the installer at the lowest offset)
// placed inside its certificate table as `forgery` says, the forged trailer at a 128-byte boundary
// in the last 128 KiB, more than 128 KiB past the real trailer, and the checksum made right again.
// Empty, with `problem` set, when `signedFile` is not a signed launcher file of the expected form.
std::vector<uint8_t> ForgeInCertificateTable(const std::vector<uint8_t>& signedFile,
                                             const LauncherContents& forged, Forgery forgery,
                                             std::string* problem);

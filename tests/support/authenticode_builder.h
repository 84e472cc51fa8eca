// Authenticode signatures laid out as the signing tools write them: a ContentInfo of SignedData
// whose SpcIndirectDataContent holds the image digest, a signing certificate named by the
// SignerInfo, and the unsigned attributes that carry a time stamp or a nested signature. The
// cryptographic values are stand-ins (no key signs anything), which is all the pack tool reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/format/authenticode_hash.h"

// One DER element: `tag`, the shortest definite length, `content`.
std::vector<uint8_t> Der(uint8_t tag, const std::vector<uint8_t>& content);

struct TestSignature {
  DigestAlgorithm algorithm = DigestAlgorithm::kSha256;
  std::vector<uint8_t> digest;                          // the image digest it signs
  std::string signerName = "Vossimere test publisher";  // the certificate's CN
  bool certificateIncluded = true;  // false: the SignerInfo names a certificate not there
  enum { kNone, kCounterSignature, kRfc3161 } timeStamp = kNone;
  std::vector<TestSignature> nested;
};

std::vector<uint8_t> AuthenticodeSignatureDer(const TestSignature& signature);

// `file`, a PE32+ image, signed with `signature`, every digest in it (nested ones too) set to the
// file's own by the signature's algorithm, then laid into the certificate table as
// AppendCertificateTable does.
void SignImage(std::vector<uint8_t>& file, TestSignature signature);

// A compound file (MS-CFB, 512-byte sectors) as a Windows Installer package is one, whose root
// storage holds empty streams of the names given: "\x05DigitalSignature" makes a signed package.
// Its directory takes a sector for every four entries, chained from the file's last sector
// backwards, so that a reader must follow the FAT.
std::vector<uint8_t> CompoundFileWithStreams(const std::vector<std::u16string>& streams);

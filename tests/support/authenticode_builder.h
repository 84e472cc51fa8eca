// Authenticode signatures laid out as the signing tools write them: a ContentInfo of SignedData
// whose SpcIndirectDataContent holds the image digest, a signing certificate named by the
// SignerInfo, its signed attributes with the messageDigest of the SpcIndirectDataContent, and the
// unsigned attributes that carry a time stamp or a nested signature. No key signs anything: the
// signature values and the certificates' keys are stand-ins, so each signature reads as one that
// does not verify, and the tests of what verifies sign with osslsigncode (signing_test.sh).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/format/authenticode_hash.h"

// One DER element: `tag`, the shortest definite length, `content`.
std::vector<uint8_t> Der(uint8_t tag, const std::vector<uint8_t>& content);

struct TestSignature {
  HashAlgorithm algorithm = HashAlgorithm::kSha256;
  std::vector<uint8_t> digest;                          // the image digest it signs
  std::string signerName = "Vossimere test publisher";  // the certificate's CN
  bool certificateIncluded = true;  // false: the SignerInfo names a certificate not there
  // kEmptyRfc3161: the time-stamp attribute with an empty SET of values.
  enum { kNone, kCounterSignature, kRfc3161, kEmptyRfc3161 } timeStamp = kNone;
  // A certificate of another subject with the signer's issuer and serial number, first.
  bool spoofedSigner = false;
  bool wrongMessageDigest = false;  // the messageDigest attribute not the content's hash
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

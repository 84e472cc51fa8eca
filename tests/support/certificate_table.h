// Certificate tables as the signing tools write them, around stand-ins for a signature, and the
// image checksum that signing sets again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Stands for a signature: a DER SEQUENCE of exactly `length` bytes, header included (not 130,
// 259 or 65540, which DER cannot encode: std::invalid_argument), that starts as a PKCS #7
// ContentInfo of SignedData, then `fill` bytes.
std::vector<uint8_t> StandInSignature(size_t length, uint8_t fill = 0);

// A WIN_CERTIFICATE entry (revision 0x0200, PKCS #7) holding `signature`, followed by zero bytes
// to the next multiple of 8. Its dwLength counts those bytes, as the signing tools write it, or,
// with `lengthCountsAlignment` false, ends with the signature.
std::vector<uint8_t> CertificateEntry(const std::vector<uint8_t>& signature,
                                      bool lengthCountsAlignment = true);

// `file`, a PE32+ image, signed as the signing tools do it: zero bytes to the next multiple of 8,
// then a table of one CertificateEntry holding `signature`, declared in the certificate directory;
// the checksum set again.
void AppendCertificateTable(std::vector<uint8_t>& file, const std::vector<uint8_t>& signature);

// Stores the image's own checksum in its CheckSum field.
void SetChecksum(std::vector<uint8_t>& file);

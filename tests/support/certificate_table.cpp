#include "tests/support/certificate_table.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

#include "pack/format/pe_checksum.h"
#include "pack/format/pe_image.h"
#include "pack/format/trailer_writer.h"

std::vector<uint8_t> StandInSignature(size_t length, uint8_t fill) {
  static const uint8_t kSignedDataOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                           0xF7, 0x0D, 0x01, 0x07, 0x02};
  // DER: the short form up to 127 bytes of content, else the fewest length bytes.
  static const size_t kLeast[] = {0, 0x80, 0x100, 0x10000, 0x1000000};
  for (size_t count = 0; count < 4; ++count) {
    size_t content = length - 2 - count;
    if (length < 2 + count + sizeof kSignedDataOid || content < kLeast[count] ||
        content >= kLeast[count + 1])
      continue;
    std::vector<uint8_t> der{0x30};
    if (count == 0)
      der.push_back(static_cast<uint8_t>(content));
    else
      der.push_back(static_cast<uint8_t>(0x80 | count));
    for (size_t i = count; i-- > 0;) der.push_back(static_cast<uint8_t>(content >> 8 * i));
    der.insert(der.end(), std::begin(kSignedDataOid), std::end(kSignedDataOid));
    der.resize(length, fill);
    return der;
  }
  throw std::invalid_argument("no DER SEQUENCE is " + std::to_string(length) + " bytes long");
}

std::vector<uint8_t> CertificateEntry(const std::vector<uint8_t>& signature,
                                      bool lengthCountsAlignment) {
  std::vector<uint8_t> entry(NextMultiple(8 + signature.size(), 8), 0);
  StoreU32(entry.data(),
           static_cast<uint32_t>(lengthCountsAlignment ? entry.size() : 8 + signature.size()));
  entry[4] = 0x00, entry[5] = 0x02;  // WIN_CERT_REVISION_2_0
  entry[6] = 0x02, entry[7] = 0x00;  // WIN_CERT_TYPE_PKCS_SIGNED_DATA
  std::copy(signature.begin(), signature.end(), entry.begin() + 8);
  return entry;
}

void AppendCertificateTable(std::vector<uint8_t>& file, const std::vector<uint8_t>& signature) {
  std::optional<PeImage> image = ReadPeImage(file.data(), file.size(), nullptr);
  if (!image) throw std::invalid_argument("a certificate table needs an image");
  file.resize(NextMultiple(file.size(), 8), 0);
  const uint32_t at = static_cast<uint32_t>(file.size());
  std::vector<uint8_t> entry = CertificateEntry(signature);
  file.insert(file.end(), entry.begin(), entry.end());
  StoreU32(&file[image->certificateEntryOffset], at);
  StoreU32(&file[image->certificateEntryOffset + 4], static_cast<uint32_t>(entry.size()));
  SetChecksum(file);
}

void SetChecksum(std::vector<uint8_t>& file) {
  std::optional<PeImage> image = ReadPeImage(file.data(), file.size(), nullptr);
  if (!image) throw std::invalid_argument("a checksum needs an image");
  StoreU32(&file[image->checksumOffset],
           ComputePeChecksum(file.data(), file.size(), image->checksumOffset));
}

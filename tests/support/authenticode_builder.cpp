#include "tests/support/authenticode_builder.h"

#include <functional>
#include <optional>
#include <stdexcept>

#include "launch/anchor_record.h"
#include "pack/format/pe_image.h"
#include "pack/format/trailer_writer.h"
#include "tests/support/certificate_table.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

void StoreU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

Bytes Oid(const Bytes& content) { return Der(0x06, content); }
Bytes Text(const std::string& text) { return Der(0x0C, Bytes(text.begin(), text.end())); }
const Bytes kNull{0x05, 0x00};

const Bytes kSignedData{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const Bytes kIndirectData{0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
const Bytes kPeImageData{0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x0F};
const Bytes kNested{0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};
const Bytes kCounterSignature{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x06};
const Bytes kRfc3161{0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x03, 0x03, 0x01};
const Bytes kSha1{0x2B, 0x0E, 0x03, 0x02, 0x1A};
const Bytes kSha256{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const Bytes kSha384{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02};
const Bytes kSha512{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03};
const Bytes kMessageDigest{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};
const Bytes kRsa{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
const Bytes kCommonName{0x55, 0x04, 0x03};
const Bytes kOrganization{0x55, 0x04, 0x0A};

Bytes AlgorithmOf(HashAlgorithm algorithm) {
  const Bytes* oid = &kSha256;
  if (algorithm == HashAlgorithm::kSha1) oid = &kSha1;
  if (algorithm == HashAlgorithm::kSha384) oid = &kSha384;
  if (algorithm == HashAlgorithm::kSha512) oid = &kSha512;
  return Der(0x30, Join({Oid(*oid), kNull}));
}

Bytes Name(const std::string& commonName) {
  return Der(0x30, Join({Der(0x31, Der(0x30, Join({Oid(kOrganization), Text("Vossimere")}))),
                         Der(0x31, Der(0x30, Join({Oid(kCommonName), Text(commonName)})))}));
}

Bytes Certificate(const std::string& subject, const Bytes& serial) {
  const Bytes tbs = Der(
      0x30, Join({Der(0xA0, Der(0x02, {0x02})), serial, Der(0x30, Join({Oid(kRsa), kNull})),
                  Name("Vossimere test CA"),
                  Der(0x30, Join({Der(0x17, Bytes(13, '0')), Der(0x17, Bytes(13, '9'))})),
                  Name(subject), Der(0x30, Join({Der(0x30, Oid(kRsa)), Der(0x03, {0, 1, 2})}))}));
  return Der(0x30, Join({tbs, Der(0x30, Join({Oid(kRsa), kNull})), Der(0x03, {0, 9, 9})}));
}

Bytes Attribute(const Bytes& type, const Bytes& values) {
  return Der(0x30, Join({Oid(type), Der(0x31, values)}));
}

}  // namespace

Bytes Der(uint8_t tag, const Bytes& content) {
  Bytes out{tag};
  const size_t length = content.size();
  if (length < 0x80) {
    out.push_back(static_cast<uint8_t>(length));
  } else {
    size_t count = 0;
    for (size_t rest = length; rest != 0; rest >>= 8) ++count;
    out.push_back(static_cast<uint8_t>(0x80 | count));
    for (size_t i = count; i-- > 0;) out.push_back(static_cast<uint8_t>(length >> 8 * i));
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes AuthenticodeSignatureDer(const TestSignature& signature) {
  const Bytes serial = Der(0x02, {0x11, 0x22, 0x33});
  const Bytes indirectValue =
      Join({Der(0x30, Join({Oid(kPeImageData), Der(0x30, {})})),
            Der(0x30, Join({AlgorithmOf(signature.algorithm), Der(0x04, signature.digest)}))});
  const Bytes indirect = Der(0x30, Join({Oid(kIndirectData), Der(0xA0, Der(0x30, indirectValue))}));
  Bytes messageDigest = HashOf(signature.algorithm, indirectValue.data(), indirectValue.size());
  if (signature.wrongMessageDigest) messageDigest[0] ^= 1;
  Bytes unsignedAttributes;
  if (signature.timeStamp == TestSignature::kCounterSignature)
    unsignedAttributes =
        Join({unsignedAttributes, Attribute(kCounterSignature, Der(0x30, Der(0x02, {0x01})))});
  if (signature.timeStamp == TestSignature::kRfc3161)
    unsignedAttributes =
        Join({unsignedAttributes, Attribute(kRfc3161, Der(0x30, Oid(kSignedData)))});
  if (signature.timeStamp == TestSignature::kEmptyRfc3161)
    unsignedAttributes = Join({unsignedAttributes, Attribute(kRfc3161, {})});
  if (!signature.nested.empty()) {
    Bytes inner;
    for (const TestSignature& nested : signature.nested)
      inner = Join({inner, AuthenticodeSignatureDer(nested)});
    unsignedAttributes = Join({unsignedAttributes, Attribute(kNested, inner)});
  }
  const Bytes signerInfo =
      Der(0x30, Join({Der(0x02, {0x01}), Der(0x30, Join({Name("Vossimere test CA"), serial})),
                      AlgorithmOf(signature.algorithm),
                      Der(0xA0, Attribute(kMessageDigest, Der(0x04, messageDigest))),
                      Der(0x30, Join({Oid(kRsa), kNull})), Der(0x04, Bytes(16, 0x5A)),
                      unsignedAttributes.empty() ? Bytes{} : Der(0xA1, unsignedAttributes)}));
  const Bytes certificates =
      signature.certificateIncluded
          ? Der(0xA0,
                Join({signature.spoofedSigner ? Certificate("Spoofed publisher", serial)
                                              : Certificate("Someone else", Der(0x02, {0x44})),
                      Certificate(signature.signerName, serial)}))
          : Bytes{};
  const Bytes signedData =
      Der(0x30, Join({Der(0x02, {0x01}), Der(0x31, AlgorithmOf(signature.algorithm)), indirect,
                      certificates, Der(0x31, signerInfo)}));
  return Der(0x30, Join({Oid(kSignedData), Der(0xA0, signedData)}));
}

void SignImage(Bytes& file, TestSignature signature) {
  std::optional<PeImage> image = ReadPeImage(file.data(), file.size(), nullptr);
  if (!image) throw std::invalid_argument("a signature needs an image");
  file.resize(NextMultiple(file.size(), 8), 0);
  auto digestOf = [&](HashAlgorithm algorithm) {
    AuthenticodeHash hash(algorithm, image->checksumOffset, image->certificateEntryOffset,
                          file.size());
    hash.Add(file.data(), file.size());
    return hash.Finish();
  };
  std::function<void(TestSignature&)> setDigests = [&](TestSignature& each) {
    each.digest = digestOf(each.algorithm);
    for (TestSignature& nested : each.nested) setDigests(nested);
  };
  setDigests(signature);
  AppendCertificateTable(file, AuthenticodeSignatureDer(signature));
}

Bytes CompoundFileWithStreams(const std::vector<std::u16string>& streams) {
  constexpr size_t kSector = 512;
  constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;
  std::vector<std::u16string> names{u"Root Entry"};
  names.insert(names.end(), streams.begin(), streams.end());
  const uint32_t directorySectors = static_cast<uint32_t>((names.size() + 3) / 4);
  // Sector 0 holds the FAT; the k-th sector of the directory's chain is sector directorySectors -
  // k.
  auto sectorOf = [&](uint32_t k) { return directorySectors - k; };
  Bytes file(kSector * (2 + directorySectors), 0);
  const uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(std::begin(kSignature), std::end(kSignature), file.begin());
  StoreU16(&file[0x18], 0x3E);
  StoreU16(&file[0x1A], 3);
  StoreU16(&file[0x1C], 0xFFFE);
  StoreU16(&file[0x1E], 9);
  StoreU16(&file[0x20], 6);
  StoreU32(&file[0x2C], 1);
  StoreU32(&file[0x30], sectorOf(0));
  StoreU32(&file[0x38], 0x1000);
  StoreU32(&file[0x3C], kEnd);
  StoreU32(&file[0x44], kEnd);
  for (size_t i = 0; i < 109; ++i) StoreU32(&file[0x4C + 4 * i], i == 0 ? 0 : kFree);
  uint8_t* fat = &file[kSector];
  for (size_t i = 0; i < kSector / 4; ++i) StoreU32(fat + 4 * i, kFree);
  StoreU32(fat, kFatSector);
  for (uint32_t k = 0; k < directorySectors; ++k)
    StoreU32(fat + 4 * sectorOf(k), k + 1 < directorySectors ? sectorOf(k + 1) : kEnd);
  for (size_t i = 0; i < names.size(); ++i) {
    uint8_t* entry = &file[kSector * (1 + sectorOf(static_cast<uint32_t>(i / 4))) + 128 * (i % 4)];
    for (size_t c = 0; c < names[i].size(); ++c) StoreU16(entry + 2 * c, names[i][c]);
    StoreU16(entry + 64, static_cast<uint16_t>(2 * (names[i].size() + 1)));
    entry[66] = i == 0 ? 5 : 2;  // the root storage, then streams
    StoreU32(entry + 68, kFree);
    StoreU32(entry + 72, kFree);
    StoreU32(entry + 76, kFree);
    StoreU32(entry + 116, kEnd);
  }
  return file;
}

#include "tests/support/certificate_forgery.h"

#include <algorithm>
#include <optional>

#include "pack/format/pe_image.h"
#include "pack/format/trailer_writer.h"
#include "tests/support/certificate_table.h"

namespace {

constexpr size_t kWinCertificateHeader = 8;

// Far enough past the real trailer that the window no longer reaches it.
constexpr size_t kLeadBeyondTheWindow = 160 * 1024;

// One DER element: where it starts, where its content starts and where it ends.
struct Tlv {
  uint8_t tag = 0;
  size_t start = 0;
  size_t contentStart = 0;
  size_t end = 0;
};

bool ReadTlv(const std::vector<uint8_t>& der, size_t at, size_t limit, Tlv& tlv) {
  if (at >= limit || limit - at < 2) return false;
  tlv.tag = der[at];
  tlv.start = at;
  size_t length = der[at + 1];
  size_t pos = at + 2;
  if (length & 0x80) {
    size_t count = length & 0x7F;
    if (count == 0 || count > 4 || limit - pos < count) return false;
    length = 0;
    for (size_t i = 0; i < count; ++i) length = length << 8 | der[pos++];
  }
  if (length > limit - pos) return false;
  tlv.contentStart = pos;
  tlv.end = pos + length;
  return true;
}

// The elements inside a constructed one; empty when they do not fill it exactly.
std::vector<Tlv> Children(const std::vector<uint8_t>& der, const Tlv& parent) {
  std::vector<Tlv> children;
  for (size_t at = parent.contentStart; at < parent.end;) {
    Tlv child;
    if (!ReadTlv(der, at, parent.end, child)) return {};
    children.push_back(child);
    at = child.end;
  }
  return children;
}

std::vector<uint8_t> Encode(uint8_t tag, const std::vector<uint8_t>& content) {
  std::vector<uint8_t> out{tag};
  size_t length = content.size();
  if (length < 0x80) {
    out.push_back(static_cast<uint8_t>(length));
  } else {
    std::vector<uint8_t> digits;
    for (size_t rest = length; rest != 0; rest >>= 8) digits.insert(digits.begin(), rest & 0xFF);
    out.push_back(static_cast<uint8_t>(0x80 | digits.size()));
    out.insert(out.end(), digits.begin(), digits.end());
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  return std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + to);
}

// `parent` re-encoded with `child` (one of its elements) replaced by `replacement`.
std::vector<uint8_t> WithChildReplaced(const std::vector<uint8_t>& der, const Tlv& parent,
                                       const Tlv& child, const std::vector<uint8_t>& replacement) {
  std::vector<uint8_t> content = Slice(der, parent.contentStart, child.start);
  content.insert(content.end(), replacement.begin(), replacement.end());
  std::vector<uint8_t> after = Slice(der, child.end, parent.end);
  content.insert(content.end(), after.begin(), after.end());
  return Encode(parent.tag, content);
}

// The PKCS#7 ContentInfo `der` with an unsigned attribute appended to its only SignerInfo; the
// attribute's value is an OCTET STRING of `valueSize` zero bytes, the last bytes of the result.
std::vector<uint8_t> WithUnsignedAttribute(const std::vector<uint8_t>& der, size_t valueSize,
                                           std::string* problem) {
  Tlv contentInfo, signedData;
  std::vector<Tlv> outer, inner, signerInfos, signer;
  bool ok = ReadTlv(der, 0, der.size(), contentInfo) && contentInfo.tag == 0x30 &&
            (outer = Children(der, contentInfo)).size() == 2 && outer[1].tag == 0xA0 &&
            ReadTlv(der, outer[1].contentStart, outer[1].end, signedData) &&
            signedData.tag == 0x30 && !(inner = Children(der, signedData)).empty() &&
            inner.back().tag == 0x31 && (signerInfos = Children(der, inner.back())).size() == 1 &&
            signerInfos[0].tag == 0x30 && !(signer = Children(der, signerInfos[0])).empty() &&
            signer.back().tag == 0x04;  // the encrypted digest ends it: no unsigned attributes yet
  if (!ok) {
    *problem = "the signature is not a SignedData with one SignerInfo and no unsigned attributes";
    return {};
  }
  // A private-enterprise attribute type no verifier knows: 1.3.6.1.4.1.55555.1.
  const std::vector<uint8_t> type{0x06, 0x09, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x83, 0xB2, 0x03, 0x01};
  std::vector<uint8_t> attribute = type;
  std::vector<uint8_t> values = Encode(0x31, Encode(0x04, std::vector<uint8_t>(valueSize, 0)));
  attribute.insert(attribute.end(), values.begin(), values.end());
  std::vector<uint8_t> unsignedAttributes = Encode(0xA1, Encode(0x30, attribute));

  std::vector<uint8_t> signerContent = Slice(der, signerInfos[0].contentStart, signerInfos[0].end);
  signerContent.insert(signerContent.end(), unsignedAttributes.begin(), unsignedAttributes.end());
  std::vector<uint8_t> newSigner = Encode(0x30, signerContent);
  std::vector<uint8_t> newSignerInfos = Encode(0x31, newSigner);
  std::vector<uint8_t> newSignedData =
      WithChildReplaced(der, signedData, inner.back(), newSignerInfos);
  std::vector<uint8_t> newExplicit = Encode(0xA0, newSignedData);
  return WithChildReplaced(der, contentInfo, outer[1], newExplicit);
}

// `size` bytes meant for file offset `base`: the forged installer at `base`, its package after
// it, and its trailer at the last 128-byte boundary that leaves room for the names.
std::vector<uint8_t> ForgedRegion(uint64_t base, size_t size, const LauncherContents& forged) {
  std::vector<uint8_t> region(size, 0);
  uint64_t packageAt = NextMultiple(base + forged.installer.size(), 16);
  size_t trailerSize = kAnchorRecordSize + EncodeNamesBlock(forged.names).size();
  uint64_t trailerAt = (base + size - trailerSize) & ~uint64_t{kAnchorAlignment - 1};
  AnchorRecord record = MakeAnchorRecord(
      static_cast<uint32_t>(forged.stub.size()), forged.installerTime, forged.packageTime,
      static_cast<uint32_t>(base), static_cast<uint32_t>(forged.installer.size()),
      static_cast<uint32_t>(packageAt), static_cast<uint32_t>(forged.package.size()));
  PlaceBytes(region, 0, forged.installer);
  PlaceBytes(region, packageAt - base, forged.package);
  PlaceBytes(region, trailerAt - base, EncodeTrailer(record, forged.names));
  return region;
}

}  // namespace

std::vector<uint8_t> ForgeInCertificateTable(const std::vector<uint8_t>& signedFile,
                                             const LauncherContents& forged, Forgery forgery,
                                             std::string* problem) {
  std::optional<PeImage> image = ReadPeImage(signedFile.data(), signedFile.size(), problem);
  if (!image) return {};
  PeDataDirectory table = image->Directory(kCertificateDirectory);
  uint32_t declared = table.address + kWinCertificateHeader <= signedFile.size()
                          ? LoadU32(signedFile.data() + table.address)
                          : 0;
  if (table.address == 0 || uint64_t{table.address} + table.size != signedFile.size() ||
      declared < kWinCertificateHeader || declared > table.size) {
    *problem = "no certificate table that ends the file";
    return {};
  }
  size_t regionSize =
      NextMultiple(kLeadBeyondTheWindow + forged.installer.size() + forged.package.size() + 16 +
                       kAnchorAlignment + EncodeNamesBlock(forged.names).size(),
                   8);

  std::vector<uint8_t> file(signedFile.begin(), signedFile.begin() + table.address);
  std::vector<uint8_t> certificate;
  if (forgery == Forgery::kPaddingAfterTheSignature) {
    uint64_t base = uint64_t{table.address} + table.size;
    certificate = Slice(signedFile, table.address, signedFile.size());
    std::vector<uint8_t> region = ForgedRegion(base, regionSize, forged);
    certificate.insert(certificate.end(), region.begin(), region.end());
    StoreU32(certificate.data(), static_cast<uint32_t>(certificate.size()));
  } else {
    std::vector<uint8_t> der =
        Slice(signedFile, table.address + kWinCertificateHeader, table.address + declared);
    std::vector<uint8_t> grown = WithUnsignedAttribute(der, regionSize, problem);
    if (grown.empty()) return {};
    uint64_t base = table.address + kWinCertificateHeader + grown.size() - regionSize;
    std::vector<uint8_t> region = ForgedRegion(base, regionSize, forged);
    std::copy(region.begin(), region.end(), grown.end() - regionSize);
    certificate = CertificateEntry(grown, false);
  }
  file.insert(file.end(), certificate.begin(), certificate.end());
  StoreU32(file.data() + image->certificateEntryOffset + 4,
           static_cast<uint32_t>(certificate.size()));
  SetChecksum(file);
  return file;
}

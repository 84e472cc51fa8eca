#include "pack/format/authenticode_signature.h"

#include <cstring>
#include <optional>

#include "pack/format/der_reader.h"
#include "pack/text/utf.h"

namespace {

// The content bytes of the OBJECT IDENTIFIERs read here.
const uint8_t kSignedDataOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const uint8_t kSpcIndirectDataOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
const uint8_t kNestedSignatureOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};
const uint8_t kCounterSignatureOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x06};
const uint8_t kRfc3161TokenOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x03, 0x03, 0x01};

struct NamedOid {
  const char* oid;
  const char* name;
};

const NamedOid kDigestNames[] = {{"1.3.14.3.2.26", "sha1"},
                                 {"2.16.840.1.101.3.4.2.1", "sha256"},
                                 {"2.16.840.1.101.3.4.2.2", "sha384"},
                                 {"2.16.840.1.101.3.4.2.3", "sha512"},
                                 {"1.2.840.113549.2.5", "md5"}};

const NamedOid kAttributeNames[] = {{"2.5.4.3", "CN"},
                                    {"2.5.4.6", "C"},
                                    {"2.5.4.7", "L"},
                                    {"2.5.4.8", "ST"},
                                    {"2.5.4.10", "O"},
                                    {"2.5.4.11", "OU"},
                                    {"2.5.4.5", "serialNumber"},
                                    {"1.2.840.113549.1.9.1", "emailAddress"}};

template <size_t N>
std::string Named(const NamedOid (&table)[N], const std::string& oid) {
  for (const NamedOid& entry : table)
    if (oid == entry.oid) return entry.name;
  return oid;
}

bool SameBytes(const DerElement& a, const DerElement& b) {
  return a.wholeLength == b.wholeLength && std::memcmp(a.whole, b.whole, a.wholeLength) == 0;
}

// A directory-string value as UTF-8.
std::string ValueText(const DerElement& value) {
  const uint8_t* at = value.content;
  std::string text;
  switch (value.tag) {
    case kDerBmpString: {
      std::u16string units;
      for (size_t i = 0; i + 1 < value.length; i += 2)
        units += static_cast<char16_t>(at[i] << 8 | at[i + 1]);
      return Utf16ToUtf8(units);
    }
    case kDerUniversalString:
      for (size_t i = 0; i + 3 < value.length; i += 4) {
        uint32_t c = uint32_t{at[i]} << 24 | uint32_t{at[i + 1]} << 16 | at[i + 2] << 8 | at[i + 3];
        AppendUtf8(text, c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF) ? c : 0xFFFD);
      }
      return text;
    case kDerT61String:  // in practice Latin-1
      for (size_t i = 0; i < value.length; ++i) AppendUtf8(text, at[i]);
      return text;
    default:  // UTF8String, PrintableString, IA5String and the rest, as they are
      return std::string(reinterpret_cast<const char*>(at), value.length);
  }
}

struct Certificate {
  DerElement serial, issuer, subject;
};

// The fields of a Certificate that name it: tbsCertificate's serial number, issuer and subject.
std::optional<Certificate> ReadCertificate(const DerElement& certificate) {
  DerReader outer(certificate);
  std::optional<DerElement> tbs = outer.NextIf(kDerSequence);
  if (!tbs) return std::nullopt;
  DerReader fields(*tbs);
  fields.NextIf(kDerContext0);  // version, absent for version 1
  std::optional<DerElement> serial = fields.NextIf(kDerInteger);
  std::optional<DerElement> algorithm = fields.NextIf(kDerSequence);
  std::optional<DerElement> issuer = fields.NextIf(kDerSequence);
  std::optional<DerElement> validity = fields.NextIf(kDerSequence);
  std::optional<DerElement> subject = fields.NextIf(kDerSequence);
  if (!serial || !algorithm || !issuer || !validity || !subject) return std::nullopt;
  return Certificate{*serial, *issuer, *subject};
}

// The subject of the certificate in `certificates` ([0] IMPLICIT SET OF Certificate) that the
// signer names by issuer and serial number; "" when none is there.
std::string SignerSubject(const std::optional<DerElement>& certificates, const DerElement& sid) {
  if (!certificates || sid.tag != kDerSequence) return "";  // [0] subjectKeyIdentifier: not named
  DerReader names(sid);
  std::optional<DerElement> issuer = names.NextIf(kDerSequence);
  std::optional<DerElement> serial = names.NextIf(kDerInteger);
  if (!issuer || !serial) return "";
  DerReader list(*certificates);
  while (std::optional<DerElement> element = list.NextIf(kDerSequence)) {
    std::optional<Certificate> certificate = ReadCertificate(*element);
    if (certificate && SameBytes(certificate->serial, *serial) &&
        SameBytes(certificate->issuer, *issuer))
      return NameText(certificate->subject.whole, certificate->subject.wholeLength);
  }
  return "";
}

class SignatureReader {
 public:
  explicit SignatureReader(AuthenticodeSignatures& out) : out_(out) {}

  // One ContentInfo of SignedData and what is nested in it. False, with out_.problem set, when
  // it cannot be read.
  bool Read(const DerElement& contentInfo, bool nested, int depth) {
    const std::string which = nested ? "a nested signature" : "the signature";
    if (depth > kMaxSignatureNesting)
      return Fail(which + " lies more than " + std::to_string(kMaxSignatureNesting) +
                  " levels deep");
    DerReader info(contentInfo);
    std::optional<DerElement> type = info.NextIf(kDerOid);
    std::optional<DerElement> explicitContent = info.NextIf(kDerContext0);
    if (!type || !IsOid(*type, kSignedDataOid) || !explicitContent)
      return Fail(which + " is not a PKCS #7 SignedData");
    DerReader wrapper(*explicitContent);
    std::optional<DerElement> signedData = wrapper.NextIf(kDerSequence);
    if (!signedData) return Fail(which + " is not a PKCS #7 SignedData");

    DerReader fields(*signedData);
    std::optional<DerElement> version = fields.NextIf(kDerInteger);
    std::optional<DerElement> digestAlgorithms = fields.NextIf(kDerSet);
    std::optional<DerElement> content = fields.NextIf(kDerSequence);
    std::optional<DerElement> certificates = fields.NextIf(kDerContext0);
    fields.NextIf(kDerContext1);  // CRLs
    std::optional<DerElement> signerInfos = fields.NextIf(kDerSet);
    if (!version || !digestAlgorithms || !content || !signerInfos)
      return Fail(which + "'s SignedData lacks a field or cannot be read");

    AuthenticodeSignature signature;
    signature.nested = nested;
    if (!ReadIndirectData(*content, signature))
      return Fail(which + " does not sign an Authenticode SpcIndirectDataContent with a digest");

    DerReader signers(*signerInfos);
    std::optional<DerElement> signerInfo = signers.NextIf(kDerSequence);
    if (!signerInfo) return Fail(which + " has no SignerInfo");
    DerReader signer(*signerInfo);
    std::optional<DerElement> signerVersion = signer.NextIf(kDerInteger);
    std::optional<DerElement> sid = signer.Next();
    std::optional<DerElement> digestAlgorithm = signer.NextIf(kDerSequence);
    signer.NextIf(kDerContext0);  // the authenticated attributes
    std::optional<DerElement> encryptionAlgorithm = signer.NextIf(kDerSequence);
    std::optional<DerElement> encryptedDigest = signer.NextIf(kDerOctetString);
    std::optional<DerElement> unsignedAttributes = signer.NextIf(kDerContext1);
    if (!signerVersion || !sid || !digestAlgorithm || !encryptionAlgorithm || !encryptedDigest)
      return Fail(which + "'s SignerInfo lacks a field or cannot be read");
    signature.signer = SignerSubject(certificates, *sid);

    // The signature is listed before those nested in it.
    const size_t index = out_.signatures.size();
    out_.signatures.push_back(signature);
    if (!unsignedAttributes) return true;
    DerReader attributes(*unsignedAttributes);
    while (std::optional<DerElement> attribute = attributes.Next()) {
      DerReader parts(*attribute);
      std::optional<DerElement> attributeType = parts.NextIf(kDerOid);
      std::optional<DerElement> values = parts.NextIf(kDerSet);
      if (attribute->tag != kDerSequence || !attributeType || !values)
        return Fail(which + " has an unsigned attribute that cannot be read");
      if (IsOid(*attributeType, kCounterSignatureOid))
        out_.signatures[index].timeStamp = TimeStampKind::kCounterSignature;
      else if (IsOid(*attributeType, kRfc3161TokenOid))
        out_.signatures[index].timeStamp = TimeStampKind::kRfc3161;
      else if (IsOid(*attributeType, kNestedSignatureOid)) {
        DerReader nestedList(*values);
        while (std::optional<DerElement> inner = nestedList.Next()) {
          if (inner->tag != kDerSequence) return Fail("a nested signature is not a ContentInfo");
          if (!Read(*inner, true, depth + 1)) return false;
        }
        if (nestedList.Failed()) return Fail("a nested signature cannot be read");
      }
    }
    if (attributes.Failed()) return Fail(which + "'s unsigned attributes cannot be read");
    return true;
  }

 private:
  bool Fail(const std::string& problem) {
    if (out_.problem.empty()) out_.problem = problem;
    return false;
  }

  // ContentInfo { SPC_INDIRECT_DATA, [0] SpcIndirectDataContent { data, DigestInfo } }.
  static bool ReadIndirectData(const DerElement& content, AuthenticodeSignature& signature) {
    DerReader info(content);
    std::optional<DerElement> type = info.NextIf(kDerOid);
    std::optional<DerElement> explicitContent = info.NextIf(kDerContext0);
    if (!type || !IsOid(*type, kSpcIndirectDataOid) || !explicitContent) return false;
    DerReader wrapper(*explicitContent);
    std::optional<DerElement> indirect = wrapper.NextIf(kDerSequence);
    if (!indirect) return false;
    DerReader fields(*indirect);
    std::optional<DerElement> data = fields.NextIf(kDerSequence);
    std::optional<DerElement> digestInfo = fields.NextIf(kDerSequence);
    if (!data || !digestInfo) return false;
    DerReader digestFields(*digestInfo);
    std::optional<DerElement> algorithm = digestFields.NextIf(kDerSequence);
    std::optional<DerElement> digest = digestFields.NextIf(kDerOctetString);
    if (!algorithm || !digest) return false;
    DerReader algorithmFields(*algorithm);
    std::optional<DerElement> oid = algorithmFields.NextIf(kDerOid);
    if (!oid) return false;
    const std::string dotted = OidText(*oid);
    if (dotted.empty()) return false;
    signature.digestAlgorithm = Named(kDigestNames, dotted);
    signature.digest.assign(digest->content, digest->content + digest->length);
    return true;
  }

  AuthenticodeSignatures& out_;
};

}  // namespace

std::string NameText(const uint8_t* der, size_t size) {
  DerReader top(der, size);
  std::optional<DerElement> name = top.NextIf(kDerSequence);
  if (!name) return "";
  std::string text;
  DerReader rdns(*name);
  while (std::optional<DerElement> rdn = rdns.NextIf(kDerSet)) {
    DerReader pairs(*rdn);
    while (std::optional<DerElement> pair = pairs.NextIf(kDerSequence)) {
      DerReader parts(*pair);
      std::optional<DerElement> type = parts.NextIf(kDerOid);
      std::optional<DerElement> value = parts.Next();
      if (!type || !value) return "";
      if (!text.empty()) text += ", ";
      text += Named(kAttributeNames, OidText(*type)) + "=" + ValueText(*value);
    }
    if (!pairs.AtEnd()) return "";
  }
  return rdns.AtEnd() ? text : "";
}

AuthenticodeSignatures ReadAuthenticodeSignatures(const uint8_t* der, size_t size) {
  AuthenticodeSignatures out;
  DerReader top(der, size);
  std::optional<DerElement> contentInfo = top.NextIf(kDerSequence);
  if (!contentInfo) {
    out.problem = "the signature is not a DER-encoded ContentInfo";
    return out;
  }
  SignatureReader(out).Read(*contentInfo, false, 0);
  return out;
}

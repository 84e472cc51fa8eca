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

// OIDs of the signed attributes and algorithms the checks read.
const uint8_t kMessageDigestOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};
const uint8_t kSigningTimeOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x05};
const uint8_t kTstInfoOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x10, 0x01, 0x04};
constexpr uint8_t kDerUtcTime = 0x17;
constexpr uint8_t kDerGeneralizedTime = 0x18;
constexpr uint8_t kDerContext2 = 0xA2;
constexpr uint8_t kDerContext3 = 0xA3;

struct NamedScheme {
  const char* oid;
  SignatureScheme scheme;
};

// The signature algorithms a SignerInfo names: the key's own OID, or one with a hash in it (the
// SignerInfo's digest algorithm is the hash used either way).
const NamedScheme kSchemes[] = {
    {"1.2.840.113549.1.1.1", SignatureScheme::kRsaPkcs1},   // rsaEncryption
    {"1.2.840.113549.1.1.5", SignatureScheme::kRsaPkcs1},   // sha1WithRSAEncryption
    {"1.2.840.113549.1.1.11", SignatureScheme::kRsaPkcs1},  // sha256WithRSAEncryption
    {"1.2.840.113549.1.1.12", SignatureScheme::kRsaPkcs1},  // sha384WithRSAEncryption
    {"1.2.840.113549.1.1.13", SignatureScheme::kRsaPkcs1},  // sha512WithRSAEncryption
    {"1.2.840.113549.1.1.10", SignatureScheme::kRsaPss},    // RSASSA-PSS
    {"1.2.840.10045.2.1", SignatureScheme::kEcdsa},         // id-ecPublicKey
    {"1.2.840.10045.4.1", SignatureScheme::kEcdsa},         // ecdsa-with-SHA1
    {"1.2.840.10045.4.3.2", SignatureScheme::kEcdsa},       // ecdsa-with-SHA256
    {"1.2.840.10045.4.3.3", SignatureScheme::kEcdsa},       // ecdsa-with-SHA384
    {"1.2.840.10045.4.3.4", SignatureScheme::kEcdsa}};      // ecdsa-with-SHA512

std::optional<HashAlgorithm> HashNamed(const std::string& name) {
  for (HashAlgorithm algorithm : {HashAlgorithm::kSha1, HashAlgorithm::kSha256,
                                  HashAlgorithm::kSha384, HashAlgorithm::kSha512})
    if (name == HashName(algorithm)) return algorithm;
  return std::nullopt;
}

// The algorithm of an AlgorithmIdentifier, by name ("sha256") or dotted OID; "" if unreadable.
std::string AlgorithmName(const DerElement& identifier) {
  DerReader fields(identifier);
  std::optional<DerElement> oid = fields.NextIf(kDerOid);
  return oid ? Named(kDigestNames, OidText(*oid)) : "";
}

std::vector<uint8_t> Bytes(const uint8_t* at, size_t count) { return {at, at + count}; }
std::vector<uint8_t> Content(const DerElement& element) {
  return Bytes(element.content, element.length);
}
std::vector<uint8_t> Whole(const DerElement& element) {
  return Bytes(element.whole, element.wholeLength);
}

CryptoCheck Fails(std::string reason) { return {Verdict::kFails, std::move(reason)}; }
CryptoCheck NotVerified(std::string reason) { return {Verdict::kNotVerified, std::move(reason)}; }

// Seconds since 1970 of a UTCTime (YYMMDDHHMMSSZ) or GeneralizedTime (YYYYMMDDHHMMSS[.f]Z).
std::optional<int64_t> TimeOf(const DerElement& time) {
  std::string text(reinterpret_cast<const char*>(time.content), time.length);
  if (time.tag == kDerUtcTime) {
    if (text.size() < 12) return std::nullopt;
    text = (text[0] < '5' ? "20" : "19") + text;
  } else if (time.tag != kDerGeneralizedTime || text.size() < 14) {
    return std::nullopt;
  }
  int64_t field[6];
  const int widths[6] = {4, 2, 2, 2, 2, 2};
  size_t at = 0;
  for (int i = 0; i < 6; ++i) {
    field[i] = 0;
    for (int j = 0; j < widths[i]; ++j, ++at) {
      if (text[at] < '0' || text[at] > '9') return std::nullopt;
      field[i] = field[i] * 10 + (text[at] - '0');
    }
  }
  // Days since 1970 of a proleptic Gregorian date.
  const int64_t y = field[0] - (field[1] <= 2), m = field[1];
  const int64_t era = (y >= 0 ? y : y - 399) / 400, yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + field[2] - 1;
  const int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  return days * 86400 + field[3] * 3600 + field[4] * 60 + field[5];
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

std::vector<std::vector<uint8_t>> AllCertificates(const std::optional<DerElement>& certificates) {
  std::vector<std::vector<uint8_t>> all;
  if (!certificates) return all;
  DerReader list(*certificates);
  while (std::optional<DerElement> element = list.Next())
    if (element->tag == kDerSequence) all.push_back(Whole(*element));
  return all;
}

// The certificate in `certificates` ([0] IMPLICIT SET OF Certificate) that a signer names by
// issuer and serial number: exactly one must bear them (a copy of the same bytes aside).
struct NamedCertificate {
  std::optional<DerElement> certificate;
  std::string subject;  // its subject as text
  std::string problem;  // why there is none; "" when found
};

NamedCertificate FindCertificate(const std::optional<DerElement>& certificates,
                                 const DerElement& sid) {
  NamedCertificate found;
  if (sid.tag != kDerSequence) {
    found.problem = "the signer is named by a key identifier, not by issuer and serial number";
    return found;
  }
  DerReader names(sid);
  std::optional<DerElement> issuer = names.NextIf(kDerSequence);
  std::optional<DerElement> serial = names.NextIf(kDerInteger);
  if (!issuer || !serial) {
    found.problem = "the signer's issuer and serial number cannot be read";
    return found;
  }
  int matches = 0;
  if (certificates) {
    DerReader list(*certificates);
    while (std::optional<DerElement> element = list.NextIf(kDerSequence)) {
      std::optional<Certificate> certificate = ReadCertificate(*element);
      if (!certificate || !SameBytes(certificate->serial, *serial) ||
          !SameBytes(certificate->issuer, *issuer))
        continue;
      // The same certificate twice (as some time stampers write it) names one key.
      if (found.certificate && SameBytes(*found.certificate, *element)) continue;
      if (++matches == 1) {
        found.certificate = *element;
        found.subject = NameText(certificate->subject.whole, certificate->subject.wholeLength);
      }
    }
  }
  if (matches == 0) {
    found.problem = "the certificate the signer names is not in the signature";
  } else if (matches > 1) {
    found = NamedCertificate{};
    found.problem = "two certificates in the signature bear the issuer and serial number the "
                    "signer names, so which one signed is not known";
  }
  return found;
}

struct SignerFields {
  DerElement sid, digestAlgorithm, signatureAlgorithm, signatureValue;
  std::optional<DerElement> signedAttributes, unsignedAttributes;
};

std::optional<SignerFields> ReadSignerInfo(const DerElement& signerInfo) {
  if (signerInfo.tag != kDerSequence) return std::nullopt;
  DerReader signer(signerInfo);
  std::optional<DerElement> version = signer.NextIf(kDerInteger);
  std::optional<DerElement> sid = signer.Next();
  std::optional<DerElement> digestAlgorithm = signer.NextIf(kDerSequence);
  std::optional<DerElement> signedAttributes = signer.NextIf(kDerContext0);
  std::optional<DerElement> signatureAlgorithm = signer.NextIf(kDerSequence);
  std::optional<DerElement> signatureValue = signer.NextIf(kDerOctetString);
  std::optional<DerElement> unsignedAttributes = signer.NextIf(kDerContext1);
  if (!version || !sid || !digestAlgorithm || !signatureAlgorithm || !signatureValue)
    return std::nullopt;
  return SignerFields{*sid,
                      *digestAlgorithm,
                      *signatureAlgorithm,
                      *signatureValue,
                      signedAttributes,
                      unsignedAttributes};
}

// The values (the SET's elements) of every attribute of type `oid` in `attributes`.
std::vector<DerElement> AttributeValues(const DerElement& attributes, const uint8_t* oid,
                                        size_t oidSize) {
  std::vector<DerElement> values;
  DerReader list(attributes);
  while (std::optional<DerElement> attribute = list.NextIf(kDerSequence)) {
    DerReader parts(*attribute);
    std::optional<DerElement> type = parts.NextIf(kDerOid);
    std::optional<DerElement> set = parts.NextIf(kDerSet);
    if (!type || !set || !IsOid(*type, oid, oidSize)) continue;
    DerReader items(*set);
    while (std::optional<DerElement> item = items.Next()) values.push_back(*item);
  }
  return values;
}

// The signature scheme a SignerInfo's signature algorithm names, with RSASSA-PSS's parameters;
// a problem when they are not what the tool can check, or do not hold.
std::optional<SignatureParameters> SchemeOf(const DerElement& algorithm, HashAlgorithm hash,
                                            CryptoCheck& problem) {
  DerReader fields(algorithm);
  std::optional<DerElement> oid = fields.NextIf(kDerOid);
  if (!oid) return std::nullopt;
  const std::string dotted = OidText(*oid);
  for (const NamedScheme& entry : kSchemes) {
    if (dotted != entry.oid) continue;
    SignatureParameters parameters;
    parameters.scheme = entry.scheme;
    parameters.hash = parameters.maskHash = hash;
    if (entry.scheme == SignatureScheme::kRsaPss) {
      std::optional<DerElement> params = fields.NextIf(kDerSequence);
      problem = params ? ReadPssParameters(params->whole, params->wholeLength, hash, parameters)
                       : Fails("its RSASSA-PSS parameters are missing");
      if (problem.verdict != Verdict::kVerified) return std::nullopt;
    }
    return parameters;
  }
  problem = NotVerified("its signature algorithm " + AlgorithmName(algorithm) +
                        " is not one the tool checks");
  return std::nullopt;
}

// Checks a SignerInfo's signature over `content` (the bytes its messageDigest attribute must be
// the hash of): the signed attributes' messageDigest, then the signature over those attributes
// with the public key of the certificate it names. `named` receives that certificate.
CryptoCheck CheckSigner(const SignerFields& signer, const std::optional<DerElement>& certificates,
                        const std::vector<uint8_t>& content, const char* contentName,
                        NamedCertificate& named) {
  named = FindCertificate(certificates, signer.sid);
  if (!named.certificate) return Fails(named.problem);
  const std::string digestName = AlgorithmName(signer.digestAlgorithm);
  std::optional<HashAlgorithm> hash = HashNamed(digestName);
  if (!hash)
    return NotVerified("its digest algorithm " + (digestName.empty() ? "?" : digestName) +
                       " is not one the tool computes");
  CryptoCheck schemeProblem{Verdict::kVerified, ""};
  std::optional<SignatureParameters> parameters =
      SchemeOf(signer.signatureAlgorithm, *hash, schemeProblem);
  if (!parameters)
    return schemeProblem.verdict != Verdict::kVerified
               ? schemeProblem
               : NotVerified("its signature algorithm " + AlgorithmName(signer.signatureAlgorithm) +
                             " is not one the tool checks");
  std::vector<uint8_t> message;
  if (signer.signedAttributes) {
    std::vector<DerElement> digests =
        AttributeValues(*signer.signedAttributes, kMessageDigestOid, sizeof kMessageDigestOid);
    if (digests.size() != 1 || digests[0].tag != kDerOctetString)
      return Fails("its signed attributes do not hold exactly one messageDigest");
    if (Content(digests[0]) != HashOf(*hash, content.data(), content.size()))
      return Fails(std::string("its messageDigest attribute is not the ") + HashName(*hash) +
                   " hash of the " + contentName);
    // The signature covers the attributes as a SET OF, not as the [0] they are stored in.
    message = Whole(*signer.signedAttributes);
    message[0] = kDerSet;
  } else {
    message = content;
  }
  std::string problem = VerifySignature(Whole(*named.certificate), *parameters, message,
                                        Content(signer.signatureValue));
  if (!problem.empty()) return Fails(problem);
  return {Verdict::kVerified, ""};
}

// A PKCS #9 counter-signature: a SignerInfo whose messageDigest is the hash of the counter-signed
// signature's value, its certificate among the outer SignedData's.
TimeStamp CheckCounterSignature(const DerElement& value,
                                const std::optional<DerElement>& certificates,
                                const std::vector<uint8_t>& signatureValue) {
  TimeStamp stamp;
  stamp.kind = TimeStampKind::kCounterSignature;
  std::optional<SignerFields> signer = ReadSignerInfo(value);
  if (!signer) {
    stamp.check = Fails("the counter-signature is not a SignerInfo that can be read");
    return stamp;
  }
  NamedCertificate named;
  stamp.check = CheckSigner(*signer, certificates, signatureValue, "signature's value", named);
  stamp.signer = named.subject;
  if (named.certificate) stamp.certificate = Whole(*named.certificate);
  stamp.certificates = AllCertificates(certificates);
  if (signer->signedAttributes) {
    std::vector<DerElement> times =
        AttributeValues(*signer->signedAttributes, kSigningTimeOid, sizeof kSigningTimeOid);
    if (times.size() == 1) stamp.time = TimeOf(times[0]);
  }
  if (stamp.check.verdict == Verdict::kVerified && !signer->signedAttributes)
    stamp.check = Fails("the counter-signature has no signed attributes, so no signing time");
  return stamp;
}

// An RFC 3161 time-stamp token: a SignedData of a TSTInfo whose message imprint is the hash of
// the time-stamped signature's value, signed by the time stamper.
TimeStamp CheckTimeStampToken(const DerElement& value, const std::vector<uint8_t>& signatureValue) {
  TimeStamp stamp;
  stamp.kind = TimeStampKind::kRfc3161;
  auto fail = [&](const std::string& reason) {
    stamp.check = Fails(reason);
    return stamp;
  };
  DerReader info(value);
  std::optional<DerElement> type = info.NextIf(kDerOid);
  std::optional<DerElement> explicitContent = info.NextIf(kDerContext0);
  if (value.tag != kDerSequence || !type || !IsOid(*type, kSignedDataOid) || !explicitContent)
    return fail("the time-stamp token is not a PKCS #7 SignedData");
  DerReader wrapper(*explicitContent);
  std::optional<DerElement> signedData = wrapper.NextIf(kDerSequence);
  if (!signedData) return fail("the time-stamp token is not a PKCS #7 SignedData");
  DerReader fields(*signedData);
  std::optional<DerElement> version = fields.NextIf(kDerInteger);
  std::optional<DerElement> digestAlgorithms = fields.NextIf(kDerSet);
  std::optional<DerElement> encapsulated = fields.NextIf(kDerSequence);
  std::optional<DerElement> certificates = fields.NextIf(kDerContext0);
  fields.NextIf(kDerContext1);
  std::optional<DerElement> signerInfos = fields.NextIf(kDerSet);
  if (!version || !digestAlgorithms || !encapsulated || !signerInfos)
    return fail("the time-stamp token's SignedData lacks a field or cannot be read");
  stamp.certificates = AllCertificates(certificates);

  // encapContentInfo { id-ct-TSTInfo, [0] EXPLICIT OCTET STRING TSTInfo }.
  DerReader encapsulatedFields(*encapsulated);
  std::optional<DerElement> contentType = encapsulatedFields.NextIf(kDerOid);
  std::optional<DerElement> contentWrapper = encapsulatedFields.NextIf(kDerContext0);
  if (!contentType || !IsOid(*contentType, kTstInfoOid) || !contentWrapper)
    return fail("the time-stamp token does not hold a TSTInfo");
  DerReader octets(*contentWrapper);
  std::optional<DerElement> tstOctets = octets.NextIf(kDerOctetString);
  if (!tstOctets) return fail("the time-stamp token does not hold a TSTInfo");
  DerReader tstReader(*tstOctets);
  std::optional<DerElement> tstInfo = tstReader.NextIf(kDerSequence);
  std::optional<DerElement> tstVersion, policy, imprint, serial, genTime;
  if (tstInfo) {
    DerReader tst(*tstInfo);
    tstVersion = tst.NextIf(kDerInteger);
    policy = tst.NextIf(kDerOid);
    imprint = tst.NextIf(kDerSequence);
    serial = tst.NextIf(kDerInteger);
    genTime = tst.NextIf(kDerGeneralizedTime);
  }
  if (!tstVersion || !policy || !imprint || !serial || !genTime)
    return fail("the time-stamp token's TSTInfo cannot be read");
  stamp.time = TimeOf(*genTime);

  // The message imprint: { AlgorithmIdentifier, OCTET STRING }.
  DerReader imprintFields(*imprint);
  std::optional<DerElement> imprintAlgorithm = imprintFields.NextIf(kDerSequence);
  std::optional<DerElement> imprintDigest = imprintFields.NextIf(kDerOctetString);
  if (!imprintAlgorithm || !imprintDigest)
    return fail("the time-stamp token's message imprint cannot be read");

  DerReader signers(*signerInfos);
  std::optional<DerElement> signerInfo = signers.NextIf(kDerSequence);
  std::optional<SignerFields> signer;
  if (signerInfo) signer = ReadSignerInfo(*signerInfo);
  if (!signer) return fail("the time-stamp token has no SignerInfo that can be read");
  NamedCertificate named;
  CryptoCheck tokenCheck =
      CheckSigner(*signer, certificates, Content(*tstOctets), "TSTInfo", named);
  stamp.signer = named.subject;
  if (named.certificate) stamp.certificate = Whole(*named.certificate);

  const std::string imprintName = AlgorithmName(*imprintAlgorithm);
  std::optional<HashAlgorithm> imprintHash = HashNamed(imprintName);
  if (!imprintHash) {
    stamp.check = NotVerified("its message imprint's algorithm " + imprintName +
                              " is not one the tool computes");
  } else if (Content(*imprintDigest) !=
             HashOf(*imprintHash, signatureValue.data(), signatureValue.size())) {
    stamp.check = Fails("its message imprint is not the hash of this signature's value");
  } else {
    stamp.check = tokenCheck;
  }
  if (stamp.check.verdict == Verdict::kFails && tokenCheck.verdict == Verdict::kFails &&
      stamp.check.reason != tokenCheck.reason)
    stamp.check.reason += "; " + tokenCheck.reason;
  return stamp;
}

// Of two time stamps, the one that says more: verified before not verified before failing.
void KeepBetter(TimeStamp& kept, TimeStamp candidate) {
  if (kept.kind == TimeStampKind::kNone ||
      static_cast<int>(candidate.check.verdict) < static_cast<int>(kept.check.verdict))
    kept = std::move(candidate);
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
    std::optional<DerElement> indirect = ReadIndirectData(*content, signature);
    if (!indirect)
      return Fail(which + " does not sign an Authenticode SpcIndirectDataContent with a digest");

    DerReader signers(*signerInfos);
    std::optional<DerElement> signerInfo = signers.NextIf(kDerSequence);
    if (!signerInfo) return Fail(which + " has no SignerInfo");
    std::optional<SignerFields> signer = ReadSignerInfo(*signerInfo);
    if (!signer) return Fail(which + "'s SignerInfo lacks a field or cannot be read");
    // Authenticode's messageDigest is the hash of the SpcIndirectDataContent's value, without
    // the SEQUENCE's tag and length.
    NamedCertificate named;
    signature.signerCheck =
        CheckSigner(*signer, certificates, Content(*indirect), "SpcIndirectDataContent", named);
    signature.signer = named.subject;
    if (named.certificate) signature.signerCertificate = Whole(*named.certificate);
    signature.certificates = AllCertificates(certificates);
    const std::vector<uint8_t> signatureValue = Content(signer->signatureValue);

    // The signature is listed before those nested in it.
    const size_t index = out_.signatures.size();
    out_.signatures.push_back(signature);
    if (!signer->unsignedAttributes) return true;
    DerReader attributes(*signer->unsignedAttributes);
    while (std::optional<DerElement> attribute = attributes.Next()) {
      DerReader parts(*attribute);
      std::optional<DerElement> attributeType = parts.NextIf(kDerOid);
      std::optional<DerElement> values = parts.NextIf(kDerSet);
      if (attribute->tag != kDerSequence || !attributeType || !values)
        return Fail(which + " has an unsigned attribute that cannot be read");
      const bool counter = IsOid(*attributeType, kCounterSignatureOid);
      if (counter || IsOid(*attributeType, kRfc3161TokenOid)) {
        TimeStamp& kept = out_.signatures[index].timeStamp;
        DerReader items(*values);
        bool any = false;
        while (std::optional<DerElement> item = items.Next()) {
          any = true;
          KeepBetter(kept, counter ? CheckCounterSignature(*item, certificates, signatureValue)
                                   : CheckTimeStampToken(*item, signatureValue));
        }
        if (!any) {
          TimeStamp empty;
          empty.kind = counter ? TimeStampKind::kCounterSignature : TimeStampKind::kRfc3161;
          empty.check = Fails("the time-stamp attribute holds no time stamp");
          KeepBetter(kept, empty);
        }
      } else if (IsOid(*attributeType, kNestedSignatureOid)) {
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

  // ContentInfo { SPC_INDIRECT_DATA, [0] SpcIndirectDataContent { data, DigestInfo } }; gives
  // the SpcIndirectDataContent.
  static std::optional<DerElement> ReadIndirectData(const DerElement& content,
                                                    AuthenticodeSignature& signature) {
    DerReader info(content);
    std::optional<DerElement> type = info.NextIf(kDerOid);
    std::optional<DerElement> explicitContent = info.NextIf(kDerContext0);
    if (!type || !IsOid(*type, kSpcIndirectDataOid) || !explicitContent) return std::nullopt;
    DerReader wrapper(*explicitContent);
    std::optional<DerElement> indirect = wrapper.NextIf(kDerSequence);
    if (!indirect) return std::nullopt;
    DerReader fields(*indirect);
    std::optional<DerElement> data = fields.NextIf(kDerSequence);
    std::optional<DerElement> digestInfo = fields.NextIf(kDerSequence);
    if (!data || !digestInfo) return std::nullopt;
    DerReader digestFields(*digestInfo);
    std::optional<DerElement> algorithm = digestFields.NextIf(kDerSequence);
    std::optional<DerElement> digest = digestFields.NextIf(kDerOctetString);
    if (!algorithm || !digest) return std::nullopt;
    DerReader algorithmFields(*algorithm);
    std::optional<DerElement> oid = algorithmFields.NextIf(kDerOid);
    if (!oid) return std::nullopt;
    const std::string dotted = OidText(*oid);
    if (dotted.empty()) return std::nullopt;
    signature.digestAlgorithm = Named(kDigestNames, dotted);
    signature.digest.assign(digest->content, digest->content + digest->length);
    return indirect;
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

CryptoCheck ReadPssParameters(const uint8_t* der, size_t size, HashAlgorithm digest,
                              SignatureParameters& parameters) {
  DerReader outer(der, size);
  std::optional<DerElement> sequence = outer.NextIf(kDerSequence);
  if (!sequence || outer.Next()) return Fails("its RSASSA-PSS parameters cannot be read");
  DerReader parts(*sequence);
  // A hash named inside an explicit tag, as an AlgorithmIdentifier.
  auto hashIn = [](const DerElement& tagged, std::string& name) -> std::optional<HashAlgorithm> {
    DerReader inner(tagged);
    std::optional<DerElement> identifier = inner.NextIf(kDerSequence);
    name = identifier ? AlgorithmName(*identifier) : "";
    return HashNamed(name);
  };
  HashAlgorithm hash = HashAlgorithm::kSha1, mask = HashAlgorithm::kSha1;
  int salt = 20;
  std::string name;
  if (std::optional<DerElement> tagged = parts.NextIf(kDerContext0)) {
    std::optional<HashAlgorithm> named = hashIn(*tagged, name);
    if (!named)
      return NotVerified("its RSASSA-PSS hash " + (name.empty() ? "?" : name) +
                         " is not one the tool computes");
    hash = *named;
  }
  if (std::optional<DerElement> tagged = parts.NextIf(kDerContext1)) {
    // MaskGenAlgorithm { id-mgf1, hash's AlgorithmIdentifier }.
    DerReader inner(*tagged);
    std::optional<DerElement> generator = inner.NextIf(kDerSequence);
    std::optional<DerElement> generatorOid;
    if (generator) {
      DerReader generatorFields(*generator);
      generatorOid = generatorFields.NextIf(kDerOid);
      std::optional<DerElement> generatorHash = generatorFields.NextIf(kDerSequence);
      name = generatorHash ? AlgorithmName(*generatorHash) : "";
    }
    if (!generatorOid || OidText(*generatorOid) != "1.2.840.113549.1.1.8")
      return NotVerified("its RSASSA-PSS mask generation is not MGF1");
    std::optional<HashAlgorithm> named = HashNamed(name);
    if (!named)
      return NotVerified("its RSASSA-PSS mask hash " + (name.empty() ? "?" : name) +
                         " is not one the tool computes");
    mask = *named;
  }
  if (std::optional<DerElement> tagged = parts.NextIf(kDerContext2)) {
    DerReader inner(*tagged);
    std::optional<DerElement> number = inner.NextIf(kDerInteger);
    if (!number || number->length == 0 || number->length > 2 || (number->content[0] & 0x80))
      return Fails("its RSASSA-PSS salt length cannot be read");
    salt = 0;
    for (size_t i = 0; i < number->length; ++i) salt = salt << 8 | number->content[i];
  }
  if (std::optional<DerElement> tagged = parts.NextIf(kDerContext3)) {
    DerReader inner(*tagged);
    std::optional<DerElement> number = inner.NextIf(kDerInteger);
    if (!number || number->length != 1 || number->content[0] != 1)
      return Fails("its RSASSA-PSS trailer field is not 1");
  }
  if (parts.Next()) return Fails("its RSASSA-PSS parameters cannot be read");
  // As OpenSSL's CMS: the parameters' hash is the SignerInfo's digest algorithm.
  if (hash != digest)
    return Fails(std::string("its RSASSA-PSS parameters name the hash ") + HashName(hash) +
                 ", not its digest algorithm " + HashName(digest));
  if (mask != hash && !CanVerifyPssWithAnotherMaskHash())
    return NotVerified(std::string("its RSASSA-PSS mask hash ") + HashName(mask) +
                       " differs from its hash " + HashName(hash) +
                       ", which this platform's library cannot check");
  parameters.hash = hash;
  parameters.maskHash = mask;
  parameters.pssSaltLength = salt;
  return {Verdict::kVerified, ""};
}

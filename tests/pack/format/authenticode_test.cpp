// What verify reads of a signature, on signatures laid out as the signing tools write them
// (tests/support/authenticode_builder.h) and on hostile bytes: the DER reader, the signatures and
// what they say, the image digest they sign, and the embedded files' own signatures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/anchor_record.h"
#include "pack/format/authenticode_hash.h"
#include "pack/format/authenticode_signature.h"
#include "pack/format/crypto.h"
#include "pack/format/der_reader.h"
#include "pack/format/embedded_signature.h"
#include "tests/support/authenticode_builder.h"
#include "tests/support/certificate_table.h"
#include "tests/support/sample_files.h"
#include "tests/support/synthetic_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
  return text;
}

AuthenticodeSignatures Read(const Bytes& der) {
  return ReadAuthenticodeSignatures(der.data(), der.size());
}

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// Made once with openssl: a P-256 certificate and an RSA 1024 one, each self-signed, and their
// signatures of kSignedMessage (ECDSA with SHA-256; RSA PKCS #1 v1.5 with SHA-384; RSA-PSS with
// SHA-256 and a 32-byte salt).
const char kSignedMessage[] = "Vossimere signed attributes stand-in";
const char kEcCertificate[] =
    "3082017230820117a00302010202145dbf39b7279e518591600589a99ea6e3f8983d5c300a06082a8648ce3d"
    "040302300d310b300906035504030c0245433020170d3236313230393035333335395a180f32313236313131"
    "353035333335395a300d310b300906035504030c0245433059301306072a8648ce3d020106082a8648ce3d03"
    "0107034200047f1c5dfe00448a88ed80b7c203442b1b04250cf37c8898c1dd02e264097a67e6ab62759e1b89"
    "73f3d9bc76670975c8f113da1a01d27f3108a5449f20f2c6fe9aa3533051301d0603551d0e04160414b3ddc8"
    "6da5b2c16c468aa9cfc4cdb6ad6a8e84f1301f0603551d23041830168014b3ddc86da5b2c16c468aa9cfc4cd"
    "b6ad6a8e84f1300f0603551d130101ff040530030101ff300a06082a8648ce3d0403020349003046022100b8"
    "db0d58c16afa5336b24f1af62bc48d08a9647eae698567876f06fd755efb82022100a99166855bcd7a87c85d"
    "1d8ad2df8b26c0c29887234c7bb468e07f1b9a573c4f";

const char kEcSignature[] =
    "3045022100f472e5b1a36259d32c78049b6697622173f09dc4c29edefc88e354784be1ea6002206e9511bb75"
    "6573938bed7343d8c116e2408c29b444d2d5c1419c7b2b4613524a";

const char kRsaCertificate[] =
    "308201fa30820163a00302010202140098a9112d9fc8e2b97713a1292acd6b60949b11300d06092a864886f7"
    "0d01010b0500300e310c300a06035504030c035253413020170d3236313230393035333335395a180f323132"
    "36313131353035333335395a300e310c300a06035504030c0352534130819f300d06092a864886f70d010101"
    "050003818d00308189028181009b3887d2aafbc26a655297bf0f65e415b310300458369d1bea49b710c6fdf6"
    "7207b91d54d600351bce31597a68c83cdbf6da8750ecbb0e7e841ff462068b83bb0da7c7a73d55fd3c0a0931"
    "f2057272a294efc89e18005e251f5455e5d79eeaaa2059b10d3fdad0d862695697367dd2f551ca0c93ec10f1"
    "c36530e4216fd380990203010001a3533051301d0603551d0e0416041491cf8ebaa11a8361d9e88dbdc5d3e4"
    "9126f4e5f7301f0603551d2304183016801491cf8ebaa11a8361d9e88dbdc5d3e49126f4e5f7300f0603551d"
    "130101ff040530030101ff300d06092a864886f70d01010b05000381810041472fce3abdd9e68f1c99fe29cd"
    "e29e820aba4b5826787e5f060d93b94fe1b908992d84283fd78aca4724fce417d92c4400f2a6a7586988bdfa"
    "a7c18ea1d7c4c9b5cde77356c8e44cd98f285c0559fd27f322dfa2321aa1622127495cb0a07e205cc4cd1242"
    "0fa849efc07a465a75a370bf59104f25181171fd732d0d1d60e2";

const char kRsaSignature[] =
    "3cb4d34655e298e141e4c4f9bdb9e381d17cebdfd1b47bb22fbdacb43b7748ee93c0441ae7af323394aaf7aa"
    "d4bd6bf8a992208834c31c7eebe48b31da51da68b2e7ad70fd39f86b4de30301e2c756978f2ec160b5af8fd6"
    "c2c992e3c0dc78d9f79ca975555defdf9a211a5bb45d4f0e88f3fcc13afbe30fae5a7a6e2e3c815f";

const char kPssSignature[] =
    "47a5a9c20e9274281197bc4216028da3e622677a348dcb57cdc5102b98348c360b3b67ff05ac15a7a4c91e9c"
    "8d0ec6e4e319f25b2b353d4f3893d89581b657879666818edb242ce7011108703511dab33fe50d577aeb8c26"
    "a8f303b52ef9aa5b60427f9ef44e8bb7bbcef5d082aa29af87c0fe6a691bb075a38d9349fbc103d4";

}  // namespace

TEST(DerReaderTest, ReadsOneLevelAndRefusesWhatDerCannotBe) {
  const Bytes two = {0x02, 0x01, 0x05, 0x30, 0x03, 0x04, 0x01, 0xAA};
  DerReader reader(two.data(), two.size());
  EXPECT_FALSE(reader.NextIf(0x30));  // not consumed
  std::optional<DerElement> integer = reader.NextIf(0x02);
  ASSERT_TRUE(integer);
  EXPECT_EQ(integer->length, 1u);
  EXPECT_EQ(integer->content[0], 0x05);
  std::optional<DerElement> sequence = reader.Next();
  ASSERT_TRUE(sequence);
  EXPECT_EQ(sequence->wholeLength, 5u);
  EXPECT_TRUE(reader.AtEnd());
  DerReader inner(*sequence);
  std::optional<DerElement> octets = inner.NextIf(kDerOctetString);
  ASSERT_TRUE(octets);
  EXPECT_EQ(octets->content[0], 0xAA);
  EXPECT_FALSE(inner.Next());
  EXPECT_FALSE(inner.Failed());

  // A long-form length; 300 bytes of content.
  Bytes big = Der(0x04, Bytes(300, 1));
  ASSERT_EQ(Bytes(big.begin(), big.begin() + 4), (Bytes{0x04, 0x82, 0x01, 0x2C}));
  DerReader longForm(big.data(), big.size());
  ASSERT_TRUE(longForm.Next());
  EXPECT_TRUE(longForm.AtEnd());

  for (const Bytes& bad : {Bytes{0x30, 0x80, 0x00, 0x00},           // BER's indefinite length
                           Bytes{0x30, 0x05, 0x01},                 // longer than what holds it
                           Bytes{0x04, 0x85, 0, 0, 0, 0, 1, 0xAA},  // 5 length bytes
                           Bytes{0x1F, 0x81, 0x01, 0x00},           // a multi-byte tag number
                           Bytes{0x04}}) {
    DerReader hostile(bad.data(), bad.size());
    EXPECT_FALSE(hostile.Next());
    EXPECT_TRUE(hostile.Failed());
    EXPECT_FALSE(hostile.Next());  // and stays so
  }
}

TEST(DerReaderTest, WritesObjectIdentifiersDotted) {
  auto dotted = [](const Bytes& content) {
    Bytes oid = Der(kDerOid, content);
    DerReader reader(oid.data(), oid.size());
    return OidText(*reader.Next());
  };
  EXPECT_EQ(dotted({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02}), "1.2.840.113549.1.7.2");
  EXPECT_EQ(dotted({0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}),
            "2.16.840.1.101.3.4.2.1");
  EXPECT_EQ(dotted({0x2B, 0x0E, 0x03, 0x02, 0x1A}), "1.3.14.3.2.26");
  EXPECT_EQ(dotted({0x88, 0x37}), "2.999");  // a first byte beyond 80 belongs to arc 2
  EXPECT_EQ(dotted({0x2A, 0x86}), "");       // a cut last arc
  EXPECT_EQ(dotted(Bytes(11, 0xFF)), "");    // an arc beyond 64 bits
}

TEST(AuthenticodeSignatureTest, ListsTheSignatureThenThoseNestedInIt) {
  TestSignature outer;
  outer.digest = Bytes(32, 0xAB);
  outer.signerName = "Vossimere HSM publisher";
  outer.timeStamp = TestSignature::kRfc3161;
  TestSignature nested;
  nested.algorithm = HashAlgorithm::kSha1;
  nested.digest = Bytes(20, 0xCD);
  nested.signerName = "Vossimere second publisher";
  nested.timeStamp = TestSignature::kCounterSignature;
  TestSignature deeper;
  deeper.digest = Bytes(32, 0xEF);
  deeper.certificateIncluded = false;
  nested.nested.push_back(deeper);
  outer.nested.push_back(nested);

  AuthenticodeSignatures read = Read(AuthenticodeSignatureDer(outer));
  EXPECT_EQ(read.problem, "");
  ASSERT_EQ(read.signatures.size(), 3u);
  const AuthenticodeSignature& first = read.signatures[0];
  EXPECT_FALSE(first.nested);
  EXPECT_EQ(first.digestAlgorithm, "sha256");
  EXPECT_EQ(first.digest, outer.digest);
  // The SignerInfo names its certificate by issuer and serial number; the other one is not it.
  EXPECT_EQ(first.signer, "O=Vossimere, CN=Vossimere HSM publisher");
  EXPECT_EQ(first.timeStamp.kind, TimeStampKind::kRfc3161);
  // The stand-ins verify nothing: the messageDigest is right, the signature is not.
  EXPECT_EQ(first.signerCheck.verdict, Verdict::kFails);
  EXPECT_EQ(first.timeStamp.check.verdict, Verdict::kFails);
  EXPECT_TRUE(read.signatures[1].nested);
  EXPECT_EQ(read.signatures[1].digestAlgorithm, "sha1");
  EXPECT_EQ(read.signatures[1].digest, nested.digest);
  EXPECT_EQ(read.signatures[1].signer, "O=Vossimere, CN=Vossimere second publisher");
  EXPECT_EQ(read.signatures[1].timeStamp.kind, TimeStampKind::kCounterSignature);
  EXPECT_EQ(read.signatures[1].timeStamp.check.verdict, Verdict::kFails);
  // Nested in the nested one; its certificate is not in the signature.
  EXPECT_TRUE(read.signatures[2].nested);
  EXPECT_EQ(read.signatures[2].digest, deeper.digest);
  EXPECT_EQ(read.signatures[2].signer, "");
  EXPECT_EQ(read.signatures[2].timeStamp.kind, TimeStampKind::kNone);
  EXPECT_EQ(read.signatures[2].signerCheck.verdict, Verdict::kFails);
  EXPECT_EQ(read.signatures[2].signerCheck.reason,
            "the certificate the signer names is not in the signature");
}

// The forgeries that need no key, each caught before any key is asked (the stand-in signature
// value would fail too, so each case checks the reason it gives).
TEST(AuthenticodeSignatureTest, RefusesForgeriesThatNeedNoKey) {
  TestSignature sound;
  sound.digest = Bytes(48, 0x11);
  sound.algorithm = HashAlgorithm::kSha384;
  const AuthenticodeSignature plain = Read(AuthenticodeSignatureDer(sound)).signatures.at(0);
  EXPECT_EQ(plain.digestAlgorithm, "sha384");
  // Past the messageDigest, at the signature itself.
  EXPECT_EQ(plain.signerCheck.reason.find("messageDigest"), std::string::npos)
      << plain.signerCheck.reason;
  EXPECT_EQ(plain.signerCheck.verdict, Verdict::kFails);

  // A digest rewritten in the SpcIndirectDataContent: the messageDigest no longer matches.
  TestSignature rewritten = sound;
  rewritten.wrongMessageDigest = true;
  const CryptoCheck digestCheck =
      Read(AuthenticodeSignatureDer(rewritten)).signatures.at(0).signerCheck;
  EXPECT_EQ(digestCheck.verdict, Verdict::kFails);
  EXPECT_EQ(digestCheck.reason,
            "its messageDigest attribute is not the sha384 hash of the SpcIndirectDataContent");

  // Another certificate with the signer's issuer and serial: no signer is named.
  TestSignature spoofed = sound;
  spoofed.spoofedSigner = true;
  const AuthenticodeSignature twice = Read(AuthenticodeSignatureDer(spoofed)).signatures.at(0);
  EXPECT_EQ(twice.signer, "");
  EXPECT_EQ(twice.signerCheck.verdict, Verdict::kFails);
  EXPECT_NE(twice.signerCheck.reason.find("two certificates in the signature bear the issuer"),
            std::string::npos);

  // An empty time-stamp attribute is a time stamp that does not verify, not one that counts.
  TestSignature empty = sound;
  empty.timeStamp = TestSignature::kEmptyRfc3161;
  const TimeStamp stamp = Read(AuthenticodeSignatureDer(empty)).signatures.at(0).timeStamp;
  EXPECT_EQ(stamp.kind, TimeStampKind::kRfc3161);
  EXPECT_EQ(stamp.check.verdict, Verdict::kFails);
  EXPECT_EQ(stamp.check.reason, "the time-stamp attribute holds no time stamp");
}

// The platform's library checks real signatures, and refuses a changed message, a changed
// signature, the wrong key and the wrong scheme.
TEST(CryptoTest, VerifiesRsaPssAndEcdsaSignaturesWithACertificatesKey) {
  const Bytes message(kSignedMessage, kSignedMessage + sizeof kSignedMessage - 1);
  const Bytes ec = FromHex(kEcCertificate), rsa = FromHex(kRsaCertificate);
  struct Case {
    const Bytes& certificate;
    SignatureParameters parameters;
    Bytes signature;
  };
  const Case cases[] = {
      {ec, {SignatureScheme::kEcdsa, HashAlgorithm::kSha256, 0}, FromHex(kEcSignature)},
      {rsa, {SignatureScheme::kRsaPkcs1, HashAlgorithm::kSha384, 0}, FromHex(kRsaSignature)},
      {rsa, {SignatureScheme::kRsaPss, HashAlgorithm::kSha256, 32}, FromHex(kPssSignature)}};
  for (const Case& each : cases) {
    const int scheme = static_cast<int>(each.parameters.scheme);
    EXPECT_EQ(VerifySignature(each.certificate, each.parameters, message, each.signature), "")
        << scheme;
    Bytes changedMessage = message;
    changedMessage[3] ^= 1;
    EXPECT_NE(VerifySignature(each.certificate, each.parameters, changedMessage, each.signature),
              "")
        << scheme;
    Bytes changedSignature = each.signature;
    changedSignature[changedSignature.size() / 2] ^= 1;
    EXPECT_NE(VerifySignature(each.certificate, each.parameters, message, changedSignature), "")
        << scheme;
    SignatureParameters otherHash = each.parameters;
    otherHash.hash = HashAlgorithm::kSha512;
    EXPECT_NE(VerifySignature(each.certificate, otherHash, message, each.signature), "") << scheme;
    const Bytes& otherKey = &each.certificate == &ec ? rsa : ec;
    EXPECT_NE(VerifySignature(otherKey, each.parameters, message, each.signature), "") << scheme;
  }
  // The mask generation's hash counts: the PSS signature (MGF1 with SHA-256) does not verify as
  // one masked with SHA-384.
  SignatureParameters otherMask{SignatureScheme::kRsaPss, HashAlgorithm::kSha256, 32};
  otherMask.maskHash = HashAlgorithm::kSha384;
  EXPECT_NE(VerifySignature(rsa, otherMask, message, FromHex(kPssSignature)), "");
  // PKCS #1 v1.5 is not PSS.
  EXPECT_NE(VerifySignature(rsa, {SignatureScheme::kRsaPss, HashAlgorithm::kSha384, 20}, message,
                            FromHex(kRsaSignature)),
            "");
  // Damaged input gives a reason, never a crash.
  EXPECT_EQ(VerifySignature(Bytes(ec.begin(), ec.begin() + 100), cases[0].parameters, message,
                            cases[0].signature),
            "the signer's certificate cannot be read");
  EXPECT_NE(VerifySignature(ec, cases[0].parameters, message, Bytes{}), "");
  EXPECT_NE(VerifySignature(rsa, cases[1].parameters, message, Bytes(3, 0)), "");
}

// RSASSA-PSS parameters as a SignerInfo names them: the defaults (SHA-1, MGF1 with SHA-1, salt
// 20), each field read, and a hash other than the SignerInfo's digest algorithm refused.
TEST(CryptoTest, ReadsRsaPssParametersAndRefusesAnotherHash) {
  const Bytes kNull{0x05, 0x00};
  auto hashId = [&](uint8_t last) {  // sha256 (1), sha384 (2) or sha512 (3)
    Bytes oid{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, last};
    Bytes content = Der(0x06, oid);
    content.insert(content.end(), kNull.begin(), kNull.end());
    return Der(0x30, content);
  };
  auto mgf1 = [&](const Bytes& hash, uint8_t last = 0x08) {
    Bytes content = Der(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, last});
    content.insert(content.end(), hash.begin(), hash.end());
    return Der(0xA1, Der(0x30, content));
  };
  auto params = [](std::vector<Bytes> fields) {
    Bytes content;
    for (const Bytes& field : fields) content.insert(content.end(), field.begin(), field.end());
    return Der(0x30, content);
  };
  const Bytes salt32 = Der(0xA2, Der(0x02, {0x20}));
  struct Read {
    CryptoCheck check;
    SignatureParameters parameters;
  };
  auto said = [](const CryptoCheck& check) {
    return std::string(check.verdict == Verdict::kFails         ? "fails: "
                       : check.verdict == Verdict::kNotVerified ? "not verified: "
                                                                : "verified: ") +
           check.reason;
  };
  auto read = [](const Bytes& der, HashAlgorithm digest) {
    Read result;
    result.parameters.scheme = SignatureScheme::kRsaPss;
    result.check = ReadPssParameters(der.data(), der.size(), digest, result.parameters);
    return result;
  };

  Read defaults = read(params({}), HashAlgorithm::kSha1);
  EXPECT_EQ(defaults.check.verdict, Verdict::kVerified) << defaults.check.reason;
  EXPECT_EQ(defaults.parameters.hash, HashAlgorithm::kSha1);
  EXPECT_EQ(defaults.parameters.maskHash, HashAlgorithm::kSha1);
  EXPECT_EQ(defaults.parameters.pssSaltLength, 20);
  Read sha1 = read(params({}), HashAlgorithm::kSha256);
  EXPECT_EQ(sha1.check.verdict, Verdict::kFails);
  EXPECT_EQ(sha1.check.reason,
            "its RSASSA-PSS parameters name the hash sha1, not its digest algorithm sha256");

  const Bytes sha256 = Der(0xA0, hashId(1));
  Read usual = read(params({sha256, mgf1(hashId(1)), salt32}), HashAlgorithm::kSha256);
  EXPECT_EQ(usual.check.verdict, Verdict::kVerified) << usual.check.reason;
  EXPECT_EQ(usual.parameters.hash, HashAlgorithm::kSha256);
  EXPECT_EQ(usual.parameters.maskHash, HashAlgorithm::kSha256);
  EXPECT_EQ(usual.parameters.pssSaltLength, 32);
  EXPECT_EQ(said(read(params({sha256, mgf1(hashId(1)), salt32}), HashAlgorithm::kSha384).check),
            "fails: its RSASSA-PSS parameters name the hash sha256, not its digest algorithm "
            "sha384");

  // Masked with SHA-384: checked where the platform's library can, otherwise said so.
  Read mask = read(params({sha256, mgf1(hashId(2)), salt32}), HashAlgorithm::kSha256);
  if (CanVerifyPssWithAnotherMaskHash()) {
    EXPECT_EQ(mask.check.verdict, Verdict::kVerified) << mask.check.reason;
    EXPECT_EQ(mask.parameters.maskHash, HashAlgorithm::kSha384);
  } else {
    EXPECT_EQ(mask.check.verdict, Verdict::kNotVerified);
    EXPECT_EQ(mask.check.reason,
              "its RSASSA-PSS mask hash sha384 differs from its hash sha256, which this "
              "platform's library cannot check");
  }

  EXPECT_EQ(read(params({sha256, mgf1(hashId(1), 0x09)}), HashAlgorithm::kSha256).check.reason,
            "its RSASSA-PSS mask generation is not MGF1");
  EXPECT_EQ(
      said(read(params({sha256, Der(0xA3, Der(0x02, {0x02}))}), HashAlgorithm::kSha256).check),
      "fails: its RSASSA-PSS trailer field is not 1");
  EXPECT_EQ(
      said(read(params({sha256, Der(0xA2, Der(0x02, {0x80}))}), HashAlgorithm::kSha256).check),
      "fails: its RSASSA-PSS salt length cannot be read");
  EXPECT_EQ(said(read(params({sha256, Der(0xA4, {})}), HashAlgorithm::kSha256).check),
            "fails: its RSASSA-PSS parameters cannot be read");
  EXPECT_EQ(said(read(Bytes{0x30, 0x05, 0xA0}, HashAlgorithm::kSha256).check),
            "fails: its RSASSA-PSS parameters cannot be read");
  Read md5 = read(
      params({Der(0xA0, Der(0x30, Der(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05})))}),
      HashAlgorithm::kSha256);
  EXPECT_EQ(md5.check.verdict, Verdict::kNotVerified);
  EXPECT_EQ(md5.check.reason, "its RSASSA-PSS hash md5 is not one the tool computes");
}

TEST(AuthenticodeSignatureTest, HostileSignaturesGiveAProblemNeverARead) {
  TestSignature signature;
  signature.digest = Bytes(32, 1);
  signature.nested.push_back(signature);
  const Bytes whole = AuthenticodeSignatureDer(signature);
  // Every prefix is cut somewhere: each is refused, and read only inside its own copy (the
  // sanitizers watch the heap block of exactly its size).
  for (size_t size = 0; size < whole.size(); ++size) {
    Bytes cut(whole.begin(), whole.begin() + size);
    AuthenticodeSignatures read = ReadAuthenticodeSignatures(cut.data(), cut.size());
    EXPECT_NE(read.problem, "") << size;
  }
  // Every single byte changed in turn: whatever is read, nothing is read outside.
  for (size_t at = 0; at < whole.size(); ++at) {
    Bytes changed = whole;
    changed[at] ^= 0x41;
    AuthenticodeSignatures read = ReadAuthenticodeSignatures(changed.data(), changed.size());
    EXPECT_LE(read.signatures.size(), 2u);
  }
  // The stand-in for a signature the layout tests use: the SignedData's type, nothing of it.
  EXPECT_EQ(Read(StandInSignature(64)).problem, "the signature is not a PKCS #7 SignedData");
  EXPECT_EQ(Read(Der(0x30, Der(0x06, {0x2A}))).problem,
            "the signature is not a PKCS #7 SignedData");

  // Nesting beyond the limit is refused rather than followed.
  TestSignature deep;
  deep.digest = Bytes(32, 2);
  for (int i = 0; i < kMaxSignatureNesting + 1; ++i) {
    TestSignature outer;
    outer.digest = Bytes(32, 3);
    outer.nested.push_back(deep);
    deep = outer;
  }
  AuthenticodeSignatures tooDeep = Read(AuthenticodeSignatureDer(deep));
  EXPECT_EQ(tooDeep.signatures.size(), size_t(kMaxSignatureNesting + 1));
  EXPECT_EQ(tooDeep.problem, "a nested signature lies more than 8 levels deep");
}

TEST(AuthenticodeSignatureTest, NamesConvertEveryStringTypeToUtf8) {
  auto pair = [](const Bytes& oid, uint8_t tag, const Bytes& value) {
    return Der(0x31, Der(0x30, [&] {
                 Bytes both = Der(0x06, oid);
                 Bytes v = Der(tag, value);
                 both.insert(both.end(), v.begin(), v.end());
                 return both;
               }()));
  };
  Bytes rdns;
  for (const Bytes& rdn :
       {pair({0x55, 0x04, 0x06}, kDerPrintableString, {'J', 'P'}),
        pair({0x55, 0x04, 0x0A}, kDerBmpString, {0x30, 0xC6, 0x30, 0xB9, 0x30, 0xC8}),
        pair({0x55, 0x04, 0x0B}, kDerT61String, {'M', 0xFC, 'n'}),
        pair({0x55, 0x04, 0x03}, kDerUniversalString, {0, 1, 0xF6, 0x00}),
        pair({0x55, 0x04, 0x61}, kDerUtf8String, {'V', 'A', 'T'})})
    rdns.insert(rdns.end(), rdn.begin(), rdn.end());
  const Bytes name = Der(0x30, rdns);
  EXPECT_EQ(NameText(name.data(), name.size()),
            "C=JP, O=\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88, OU=M\xC3\xBCn, CN=\xF0\x9F\x98\x80, "
            "2.5.4.97=VAT");
  const Bytes broken = Der(0x30, Der(0x31, Der(0x30, Der(0x06, {0x55}))));
  EXPECT_EQ(NameText(broken.data(), broken.size()), "");
}

TEST(AuthenticodeHashTest, LeavesOutTheChecksumTheTableEntryAndTheTable) {
  // With nothing to leave out, it is the plain digest (FIPS 180-4's "abc").
  AuthenticodeHash plain(HashAlgorithm::kSha256, 100, 200, 3);
  plain.Add(reinterpret_cast<const uint8_t*>("abc"), 3);
  EXPECT_EQ(Hex(plain.Finish()),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  AuthenticodeHash sha1(HashAlgorithm::kSha1, 100, 200, 300);
  sha1.Add(reinterpret_cast<const uint8_t*>("abc"), 3);
  EXPECT_EQ(Hex(sha1.Finish()), "a9993e364706816aba3e25717850c26c9cd0d89d");

  const Bytes file = PatternBytes(5000, 3);
  const uint64_t checksum = 216, entry = 312, end = 4000;
  auto digest = [&](const Bytes& bytes, size_t piece) {
    AuthenticodeHash hash(HashAlgorithm::kSha256, checksum, entry, end);
    for (size_t at = 0; at < bytes.size(); at += piece)
      hash.Add(bytes.data() + at, std::min(piece, bytes.size() - at));
    return hash.Finish();
  };
  const Bytes whole = digest(file, file.size());
  // The same in any pieces, those that split a left-out field included.
  for (size_t piece : {1, 3, 7, 64, 217, 313, 4096}) EXPECT_EQ(digest(file, piece), whole) << piece;
  // The same as the bytes kept, in order.
  Bytes kept(file.begin(), file.begin() + checksum);
  kept.insert(kept.end(), file.begin() + checksum + 4, file.begin() + entry);
  kept.insert(kept.end(), file.begin() + entry + 8, file.begin() + end);
  AuthenticodeHash reference(HashAlgorithm::kSha256, 1u << 20, 1u << 21, 1u << 22);
  reference.Add(kept.data(), kept.size());
  EXPECT_EQ(reference.Finish(), whole);
  // A byte of a left-out field or of the table changes nothing; any other byte does.
  for (size_t at :
       {size_t{216}, size_t{219}, size_t{312}, size_t{319}, size_t{4000}, size_t{4999}}) {
    Bytes changed = file;
    changed[at] ^= 1;
    EXPECT_EQ(digest(changed, 512), whole) << at;
  }
  for (size_t at : {size_t{0}, size_t{215}, size_t{220}, size_t{311}, size_t{320}, size_t{3999}}) {
    Bytes changed = file;
    changed[at] ^= 1;
    EXPECT_NE(digest(changed, 512), whole) << at;
  }
}

TEST(EmbeddedSignatureTest, TellsASignedProgramFromAnUnsignedOne) {
  Bytes program = SyntheticImage();
  auto state = [](const Bytes& bytes) {
    return ProgramSignature(bytes.data(), std::min(bytes.size(), kProgramHeadSize), bytes.size());
  };
  EXPECT_EQ(state(program), EmbeddedSignature::kNotSigned);
  Bytes signedProgram = program;
  AppendCertificateTable(signedProgram, StandInSignature(64));
  EXPECT_EQ(state(signedProgram), EmbeddedSignature::kSigned);
  // A table the program does not hold is no signature of its.
  EXPECT_EQ(ProgramSignature(signedProgram.data(), kProgramHeadSize, program.size()),
            EmbeddedSignature::kUnreadable);
  EXPECT_EQ(state(PatternBytes(3001, 5)), EmbeddedSignature::kUnreadable);
  EXPECT_EQ(state(Bytes(program.begin(), program.begin() + 200)), EmbeddedSignature::kUnreadable);

  // A 32-bit program (PE32): its data directories start 16 bytes earlier.
  Bytes pe32 = program;
  const uint32_t pe = LoadU32(&pe32[60]);
  const size_t optional = pe + 24;
  StoreU32(&pe32[optional], 0x10B);  // the magic, and the two bytes after it
  StoreU32(&pe32[optional + 92], 16);
  StoreU32(&pe32[optional + 96 + 8 * 4], 0);
  StoreU32(&pe32[optional + 96 + 8 * 4 + 4], 0);
  EXPECT_EQ(state(pe32), EmbeddedSignature::kNotSigned);
  StoreU32(&pe32[optional + 96 + 8 * 4], 1024);
  StoreU32(&pe32[optional + 96 + 8 * 4 + 4], 64);
  EXPECT_EQ(state(pe32), EmbeddedSignature::kSigned);
}

TEST(EmbeddedSignatureTest, FindsAPackagesSignatureStreamThroughItsDirectory) {
  auto state = [](const Bytes& package) {
    return PackageSignature(package.size(), [&](uint64_t at, uint8_t* bytes, size_t count) {
      ASSERT_LE(at + count, package.size());
      std::copy(package.begin() + at, package.begin() + at + count, bytes);
    });
  };
  const std::u16string signature = u"\x0005"
                                   u"DigitalSignature";
  EXPECT_EQ(state(CompoundFileWithStreams({u"\x4840\x3F3F", u"\x0005SummaryInformation"})),
            EmbeddedSignature::kNotSigned);
  // Seven streams: the signature's entry in the directory's second sector, before the first in
  // the file.
  std::vector<std::u16string> many{u"a", u"b", u"c", u"d", u"e", u"f", signature};
  Bytes signedPackage = CompoundFileWithStreams(many);
  EXPECT_EQ(state(signedPackage), EmbeddedSignature::kSigned);
  // A name one unit off is no signature stream.
  many.back() = u"\x0005"
                u"DigitalSignaturf";
  EXPECT_EQ(state(CompoundFileWithStreams(many)), EmbeddedSignature::kNotSigned);

  EXPECT_EQ(state(PatternBytes(7000, 9)), EmbeddedSignature::kUnreadable);
  EXPECT_EQ(state(Bytes(signedPackage.begin(), signedPackage.begin() + 1000)),
            EmbeddedSignature::kUnreadable);
  // A directory chain that loops back on itself ends rather than running for ever: the package
  // reader's loop guard finds the loop, and the package is damaged, signature stream or none.
  Bytes loop = signedPackage;
  StoreU32(&loop[512 + 4 * 1], 2);  // the chain's last sector (1) leads back to its first (2)
  EXPECT_EQ(state(loop), EmbeddedSignature::kUnreadable);
  Bytes unsignedLoop = CompoundFileWithStreams({u"a", u"b", u"c", u"d", u"e"});
  StoreU32(&unsignedLoop[512 + 4 * 1], 2);
  EXPECT_EQ(state(unsignedLoop), EmbeddedSignature::kUnreadable);
}

// Reading what an Authenticode signature (the PKCS #7 SignedData in a certificate table) says,
// and checking its cryptography: the image digest it signs and with which algorithm; who signed,
// and whether the signer's signature over its signed attributes verifies with the public key of
// the one certificate the SignerInfo names, the messageDigest attribute being the hash of the
// SpcIndirectDataContent; whether a time stamp vouches for when, and whether it verifies; the
// signatures nested in it, each checked the same way. The image digest itself is compared by the
// caller, who has the file; chains to a trusted root are built only on request (CheckChain).
//
// Platform-free and bounded: a hostile signature gives a problem text, never a read outside its
// bytes, and nesting is followed only kMaxSignatureNesting levels deep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/format/crypto.h"

enum class TimeStampKind {
  kNone,
  kCounterSignature,  // a PKCS #9 counter-signature, 1.2.840.113549.1.9.6 (Authenticode's own)
  kRfc3161,           // an RFC 3161 time-stamp token, 1.3.6.1.4.1.311.3.3.1
};

// What the cryptography says about a signature or a time stamp.
enum class Verdict {
  kVerified,     // checked, and it holds
  kNotVerified,  // present, but the tool cannot check it (an algorithm it does not know)
  kFails,        // checked, and it does not hold: it does not verify
};

struct CryptoCheck {
  Verdict verdict = Verdict::kNotVerified;
  std::string reason;  // why it is not verified or does not verify; "" when verified
};

struct TimeStamp {
  TimeStampKind kind = TimeStampKind::kNone;
  // The token's or counter-signature's own check: its message imprint or messageDigest is the
  // hash of the signature's value, and its signature verifies with its signer's certificate.
  CryptoCheck check;
  std::string signer;                // the time stamper's subject; "" if not named
  std::optional<int64_t> time;       // when it says the signature existed, seconds since 1970 UTC
  std::vector<uint8_t> certificate;  // the time stamper's certificate (DER), when named
  std::vector<std::vector<uint8_t>> certificates;  // every certificate its SignedData carries
};

struct AuthenticodeSignature {
  bool nested = false;          // held in an unsigned attribute (1.3.6.1.4.1.311.2.4.1) of another
  std::string digestAlgorithm;  // "sha1", "sha256", "sha384", "sha512", "md5", or its dotted OID
  std::vector<uint8_t> digest;  // the image digest it signs, from its SpcIndirectDataContent
  std::string signer;           // the signing certificate's subject, "CN=..., O=..."; "" if absent
  // The signer's signature over the signed attributes, and the messageDigest among them; the
  // image digest is not part of this check.
  CryptoCheck signerCheck;
  TimeStamp timeStamp;
  std::vector<uint8_t> signerCertificate;          // DER, when the SignerInfo names one
  std::vector<std::vector<uint8_t>> certificates;  // every certificate the SignedData carries
};

struct AuthenticodeSignatures {
  // The outer signature first, then the nested ones in the order they stand, depth first.
  std::vector<AuthenticodeSignature> signatures;
  // What could not be read, where the list stops short; "" when everything was read.
  std::string problem;
};

constexpr int kMaxSignatureNesting = 8;

// `der`: a ContentInfo of SignedData, as a WIN_CERTIFICATE entry of type PKCS #7 holds it.
AuthenticodeSignatures ReadAuthenticodeSignatures(const uint8_t* der, size_t size);

// Text for an X.501 Name (a certificate's subject or issuer): "CN=Example, O=Example Ltd, C=JP"
// in the order it is stored, the common attributes by their short names, others by their OIDs;
// BMPString, UniversalString and T61String values become UTF-8. "" when it cannot be read.
std::string NameText(const uint8_t* der, size_t size);

// RSASSA-PSS-params { [0] hash DEFAULT sha1, [1] MGF1 with a hash DEFAULT sha1, [2] saltLength
// DEFAULT 20, [3] trailerField DEFAULT 1 } (`der`, the SEQUENCE) of a SignerInfo whose digest
// algorithm is `digest`: verified with the hash, mask hash and salt length set in `parameters`;
// does not verify when they cannot be read or their hash is not `digest` (OpenSSL's CMS refuses
// that too); present, not verified when they name a hash the tool does not compute, or a mask
// hash other than the hash where the platform's library cannot check that.
CryptoCheck ReadPssParameters(const uint8_t* der, size_t size, HashAlgorithm digest,
                              SignatureParameters& parameters);

// Reading what an Authenticode signature (the PKCS #7 SignedData in a certificate table) says:
// the image digest it signs and with which algorithm, who signed, whether a time stamp vouches for
// when, and the signatures nested in it. Nothing here checks a cryptographic signature, a
// certificate chain or trust; that stays with osslsigncode and signtool.
//
// Platform-free and bounded: a hostile signature gives a problem text, never a read outside its
// bytes, and nesting is followed only kMaxSignatureNesting levels deep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TimeStampKind {
  kNone,
  kCounterSignature,  // a PKCS #9 counter-signature, 1.2.840.113549.1.9.6 (Authenticode's own)
  kRfc3161,           // an RFC 3161 time-stamp token, 1.3.6.1.4.1.311.3.3.1
};

struct AuthenticodeSignature {
  bool nested = false;          // held in an unsigned attribute (1.3.6.1.4.1.311.2.4.1) of another
  std::string digestAlgorithm;  // "sha1", "sha256", "sha384", "sha512", "md5", or its dotted OID
  std::vector<uint8_t> digest;  // the image digest it signs, from its SpcIndirectDataContent
  std::string signer;           // the signing certificate's subject, "CN=..., O=..."; "" if absent
  TimeStampKind timeStamp = TimeStampKind::kNone;
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

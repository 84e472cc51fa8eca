// What a signed launcher file's signature covers, and the rules about it: each signature, nested
// ones included, with its digest algorithm, signer and time stamp; the image digest computed from
// the file beside the one each signs; whether each signature and time stamp verifies (the signed
// attributes' messageDigest, the signer's signature with the key of the certificate it names, the
// time stamp's imprint and signature); what lies after the signature in the certificate table;
// the embedded installer program's signature and the package's, checked the same way, the
// package's against the digest Windows Installer computes over its streams.
//
// A chain to a trusted root is built only for a CA file given (--ca, --timestamp-ca); revocation
// is not checked.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pack/format/authenticode_signature.h"
#include "pack/format/embedded_signature.h"
#include "pack/format/launcher_reader.h"
#include "pack/io/input_file.h"

struct SignatureCheck {
  AuthenticodeSignature signature;
  // The file's digest by the signature's algorithm; absent for one the tool does not compute.
  std::optional<std::vector<uint8_t>> fileDigest;
  // With a CA file: "" when the signer's (or time stamper's) chain reaches one of its roots,
  // otherwise why not. Absent when no chain was built.
  std::optional<std::string> chainProblem;
  std::optional<std::string> timeStampChainProblem;
  // The signature of the embedded package: its digest is over the package's streams, not an image.
  bool ofPackage = false;

  bool Matches() const { return fileDigest && *fileDigest == signature.digest; }
  // The signature as a whole: image digest, signer's signature and chain, when asked for.
  CryptoCheck Result() const;
  // The time stamp: its own check and its chain, when asked for.
  CryptoCheck TimeStampResult() const;
};

struct SignatureReport {
  bool hasSignature = false;  // the certificate table holds a PKCS #7 SignedData to read
  std::vector<SignatureCheck> signatures;
  std::string problem;  // what of the signature could not be read; "" when all of it was
  std::optional<uint64_t> afterSignature;  // bytes after the signature inside the table
  bool onlyAlignment = false;              // and they are at most 7 zero bytes
  // Only for a file whose trailer the launcher accepts.
  std::optional<EmbeddedSignature> installer;
  std::optional<EmbeddedSignature> package;
  // A signed installer program's signatures, checked as the file's own are, and what of them
  // could not be read.
  std::vector<SignatureCheck> installerSignatures;
  std::string installerProblem;
  // The package's signature (its \x05DigitalSignature stream), checked against the digest of
  // its streams, and what of it could not be read or does not hold (a MsiDigitalSignatureEx
  // stream that is not the hash of the streams' metadata, a directory that cannot be walked).
  std::vector<SignatureCheck> packageSignatures;
  std::string packageProblem;
  bool chainsChecked = false;           // --ca was given
  bool timeStampChainsChecked = false;  // --timestamp-ca was given
};

struct SignatureRequirements {
  bool signedFile = false;  // --require-signed
  bool timeStamp = false;   // --require-timestamp
};

// The text of the PEM files of trusted roots; "" for none (then no chain is built).
struct SignatureTrust {
  std::string caPem;           // --ca: for the signers, as code signing
  std::string timeStampCaPem;  // --timestamp-ca: for the time stampers, as time stamping
};

// Reads the signature, computes the digests it names (one pass over the file a digest algorithm)
// and checks each signature. Nothing is read from a table the certificate-table rules found
// malformed beyond use: no signature, or one that runs past the end of the file.
SignatureReport ReadSignatureReport(const LauncherView& view, InputFile& file,
                                    const SignatureTrust& trust = {});

// One line per broken rule, "rule-name: what is wrong", added to `out`.
void CheckSignatures(const SignatureReport& report, const SignatureRequirements& required,
                     std::vector<std::string>& out);

// The rules CheckSignatures checks, and whether it checked `rule` on this report.
const std::vector<std::string>& SignatureRuleNames();
bool SignatureRuleChecked(const std::string& rule, const SignatureReport& report,
                          const SignatureRequirements& required);

// A digest in lower-case hex digits, as osslsigncode and the reports show it.
std::string HexDigest(const std::vector<uint8_t>& digest);

// What a signed launcher file's signature covers, and the rules about it: each signature, nested
// ones included, with its digest algorithm, signer and time stamp; the image digest computed from
// the file beside the one each signs; what lies after the signature in the certificate table;
// whether the embedded installer program and package carry signatures of their own.
//
// Whether a signature is genuine (its cryptography, the chain to a trusted root, revocation) is
// not checked here: that stays with osslsigncode and signtool.
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

  bool Matches() const { return fileDigest && *fileDigest == signature.digest; }
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
};

struct SignatureRequirements {
  bool signedFile = false;  // --require-signed
  bool timeStamp = false;   // --require-timestamp
};

// Reads the signature and computes the digests it names (one pass over the file a digest
// algorithm). Nothing is read from a table the certificate-table rules found malformed beyond
// use: no signature, or one that runs past the end of the file.
SignatureReport ReadSignatureReport(const LauncherView& view, InputFile& file);

// One line per broken rule, "rule-name: what is wrong", added to `out`.
void CheckSignatures(const SignatureReport& report, const SignatureRequirements& required,
                     std::vector<std::string>& out);

// The rules CheckSignatures checks, and whether it checked `rule` on this report.
const std::vector<std::string>& SignatureRuleNames();
bool SignatureRuleChecked(const std::string& rule, const SignatureReport& report,
                          const SignatureRequirements& required);

// A digest in lower-case hex digits, as osslsigncode and the reports show it.
std::string HexDigest(const std::vector<uint8_t>& digest);

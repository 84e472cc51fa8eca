// What verify shows of a file's signatures, in text and as the "signature" member of
// verify --json.
#pragma once

#include <string>

#include "pack/format/launcher_reader.h"
#include "pack/rules/signature_rules.h"

// The lines after verify's summary, each starting with two spaces: one a signature, then the
// bytes after the signature, then the embedded installer's and package's own signatures.
std::string SignatureText(const LauncherView& view, const SignatureReport& report);

// One JSON object: "signed", "problem", "signatures" (each with "nested", "digestAlgorithm",
// "signedDigest", "fileDigest", "digestMatches", "signer", "timeStamp"),
// "bytesAfterSignature", "installer" and "package".
std::string SignatureJson(const SignatureReport& report);

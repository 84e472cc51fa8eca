// What a Windows Installer package's own Authenticode signature covers, as signtool and
// osslsigncode compute its digest: the contents of every stream but the two that hold signatures
// (\x05DigitalSignature and \x05MsiDigitalSignatureEx, under the root), storage by storage, each
// storage's children in the order of their names' UTF-16LE bytes, then that storage's CLSID.
// A package that also carries \x05MsiDigitalSignatureEx is signed over more: that stream holds the
// hash of the streams' and storages' metadata (names, sizes, CLSIDs, state bits and times, in the
// same order), and the signed digest is the hash of that hash followed by the contents.
// Hashed by the caller, with the signature's own algorithm.
//
// Bounded for a damaged directory: an entry reached twice (from two storages, or a storage
// inside itself) is refused, and so are streams that together hold more bytes than the package,
// so the bytes handed out never exceed the package's size (plus 16 bytes a storage).
#pragma once

#include <optional>
#include <vector>

#include "pack/format/compound_file.h"

// Hands those bytes to `sink` in order, a sector at a time; PackageFormatError for a package that
// cannot be read as a compound file (its directory looping among storages included).
void MsiSignedContent(const PackageBytes& package, const ByteSink& sink);

// Hands the metadata the MsiDigitalSignatureEx stream's hash covers to `sink`, in order;
// PackageFormatError as MsiSignedContent.
void MsiSignedMetadata(const PackageBytes& package, const ByteSink& sink);

// The two streams under the root storage that a package's signature is kept in.
struct MsiSignatureStreams {
  std::optional<std::vector<uint8_t>> signature;    // \x05DigitalSignature: a PKCS #7 SignedData
  std::optional<std::vector<uint8_t>> signatureEx;  // \x05MsiDigitalSignatureEx: a hash
};

// Reads both; PackageFormatError for a package that cannot be read, or a stream of more than
// `largest` bytes.
MsiSignatureStreams ReadMsiSignatureStreams(const PackageBytes& package, uint64_t largest);

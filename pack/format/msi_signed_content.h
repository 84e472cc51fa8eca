// What a Windows Installer package's own Authenticode signature covers, as signtool and
// osslsigncode compute its digest: the contents of every stream but the two that hold signatures
// (\x05DigitalSignature and \x05MsiDigitalSignatureEx, under the root), storage by storage, each
// storage's children in the order of their names' UTF-16LE bytes, then that storage's CLSID.
// Hashed by the caller, with the signature's own algorithm.
#pragma once

#include "pack/format/compound_file.h"

// Hands those bytes to `sink` in order, a sector at a time; PackageFormatError for a package that
// cannot be read as a compound file (its directory looping among storages included).
void MsiSignedContent(const PackageBytes& package, const ByteSink& sink);

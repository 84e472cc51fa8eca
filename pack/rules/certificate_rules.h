// The rules for the certificate table of a signed launcher file. The Authenticode hash leaves the
// table out, so the signature vouches for nothing in it but itself: the table must hold exactly
// the one signature, aligned, and close the file. Anything more is room for a forged payload
// that still "verifies".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pack/format/launcher_reader.h"
#include "pack/io/input_file.h"

// One line per broken rule, "rule-name: what is wrong", added to `out`. Nothing when the file
// declares no table or its table starts past the file's end (a layout rule's concern). Reads the
// table once.
void CheckCertificateTable(const LauncherView& view, InputFile& file,
                           std::vector<std::string>& out);

// The bytes from the end of the signature to the end of the file (alignment, anything else in the
// table, anything after it), which the signature does not cover. Nothing when the file declares
// no table, or its table holds no signature that could be read.
std::optional<uint64_t> BytesOutsideSignature(const LauncherView& view);

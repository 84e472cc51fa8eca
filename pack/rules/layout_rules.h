// The rules a launcher file must meet: those the launcher's search relies on, applied exactly as
// the launcher applies them, and the conventions of the distributed layout (alignments, zero
// gaps, checksum, the certificate table's place).
#pragma once

#include <string>
#include <vector>

#include "pack/format/launcher_reader.h"
#include "pack/io/input_file.h"

// One line per broken rule, "rule-name: what is wrong"; empty when every rule holds. Reads the
// whole file once for the checksum.
std::vector<std::string> BrokenRules(const LauncherView& view, InputFile& file);
// The same, and in `ran` the name of every rule that was checked on this file: an earlier finding
// (no trailer found, no image, a file of 2 GiB) leaves the rules that need what it lacks unchecked.
std::vector<std::string> BrokenRules(const LauncherView& view, InputFile& file,
                                     std::vector<std::string>& ran);

// The name of every rule BrokenRules checks, in the order it checks them: the word before the
// colon of each of its lines.
const std::vector<std::string>& RuleNames();

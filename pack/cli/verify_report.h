// What verify --json shows: every rule with its result and messages, as one JSON object with
// stable keys, in the style of inspect --json.
#pragma once

#include <string>
#include <vector>

#include "pack/format/launcher_reader.h"
#include "pack/rules/signature_rules.h"

// `broken`: BrokenRules' and CheckSignatures' lines for the file; `ran`: the layout rules
// BrokenRules checked. A rule is "holds", "broken", or "not-checked" when an earlier finding left
// nothing to check it on (no trailer found, no image, a file of 2 GiB), or it was not asked for
// (--require-signed, --require-timestamp).
std::string VerifyJson(const std::string& fileName, const LauncherView& view,
                       const std::vector<std::string>& ran, const std::vector<std::string>& broken,
                       const SignatureReport& signatures, const SignatureRequirements& required);

// What verify --json shows: every rule with its result and messages, as one JSON object with
// stable keys, in the style of inspect --json.
#pragma once

#include <string>
#include <vector>

#include "pack/format/launcher_reader.h"

// `broken`: BrokenRules' lines for the file. A rule is "holds", "broken", or "not-checked" when
// an earlier finding left nothing to check it on (no trailer found, no image, a file of 2 GiB).
std::string VerifyJson(const std::string& fileName, const LauncherView& view,
                       const std::vector<std::string>& broken);

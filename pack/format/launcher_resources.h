// Telling the launcher's own image from any other program: the launcher cannot start without the
// two strings it loads from its string table (the hidden window's title and class name), so an
// image whose string table lacks them is not the launcher, whatever else it is (typically the
// installer program given as the stub by mistake).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "pack/format/pe_image.h"

// Nothing when `bytes` (the image file, at least up to the end of its sections) is the launcher;
// otherwise what is missing, e.g. "it has no string table". A string the image holds in place of
// the launcher's is shown as TerminalText, so the message is safe to print.
std::optional<std::string> LauncherImageProblem(const PeImage& image, const uint8_t* bytes,
                                                size_t size);

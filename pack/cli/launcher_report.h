// What inspect shows of a launcher file: as aligned text for people, or as one JSON object with
// stable keys for scripts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pack/cli/package_report.h"
#include "pack/format/launcher_reader.h"

// `computedChecksum` is absent when the file has no image to checksum, or is too long to be a
// launcher file (it is not read through then). Titles, names and the file name are shown in the
// text escaped (TerminalText). `shipped` adds the file's SHA-256 and the package's fields.
std::string InspectText(const std::string& fileName, const LauncherView& view,
                        std::optional<uint32_t> computedChecksum, const ShippedFacts& shipped = {});
std::string InspectJson(const std::string& fileName, const LauncherView& view,
                        std::optional<uint32_t> computedChecksum, const ShippedFacts& shipped = {});
// The JSON value of the room left after the trailer, shared by inspect --json and verify --json:
// a number for an accepted trailer in a file of the format's length, else null.
std::string JsonRoomLeft(const LauncherView& view);

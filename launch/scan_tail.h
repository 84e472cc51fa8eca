// The trailer search and the names reader: the platform-free heart of locating the payload.
#pragma once

#include <cstdint>

#include "launch/anchor_record.h"
#include "launch/wide_string.h"

struct PayloadNames {
  WideString title;          // caption of every error box once read
  WideString folderName;     // sub-folder of the temporary folder
  WideString installerName;  // file name of the installer program
  WideString packageName;    // file name of the package, beside the installer
};

// ScanTail's refusals; a success is the record's offset in the buffer (0 or more).
constexpr int32_t kNoMatch = -1;        // no 128-aligned position carries both magics
constexpr int32_t kRecordRefused = -2;  // the first match has an empty name or sits at offset 0

// Reads one zero-terminated UTF-16LE string starting at byte `pos` of the first `n` bytes of
// `buffer`, and moves `pos` past its terminator. A string with no terminator inside the buffer
// reads as empty and leaves `pos` at or past n - 1, so every later read is empty too. Units are
// passed on as they stand, unpaired surrogates included.
WideString ReadPackedString(const uint8_t* buffer, int32_t n, int32_t& pos);

// Searches the first `n` bytes of a tail window that starts at file offset `windowStart` for the
// trailer: the first 128-aligned position that carries both magics. The four names after it are
// read and stored into `names` before anything is judged, so a refused record still leaves the
// title that was read. Only an accepted record is copied into `record`. When `firstMatch` is
// given it receives the offset of that first position whether its record was accepted or
// refused, or kNoMatch.
int32_t ScanTail(const uint8_t* buffer, int32_t n, int32_t windowStart, PayloadNames& names,
                 AnchorRecord& record, int32_t* firstMatch = nullptr);

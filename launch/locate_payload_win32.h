// Finding the payload in the launcher's own file.
#pragma once

#include <windows.h>

#include <cstdint>

#include "launch/anchor_record.h"
#include "launch/wide_string.h"

// Opens the launcher file at `ownPath` (readable by others, writable by nobody), makes sure it is
// the file the running image was mapped from, reads its last 128 KiB into `tail` in one read,
// finds the trailer before any certificate table and fills LoadedNames and LoadedAnchor.
// Returns the open file, which the caller closes when the run ends; on failure it has shown the
// message, closed the file, set `failure` to the message's exit code and returns
// INVALID_HANDLE_VALUE.
HANDLE LocatePayload(const WideString& ownPath, uint8_t (&tail)[kTailWindowSize],
                     uint32_t& failure);

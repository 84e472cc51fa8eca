// Copying one embedded file out of the launcher file.
#pragma once

#include <windows.h>

#include <cstdint>

#include "launch/held_step.h"
#include "launch/wide_string.h"

// Copies `size` bytes at `offset` of the open launcher file `source` into a new file at
// `targetPath` (an existing one is replaced), in pieces of at most 1 MiB, and gives it the
// last-write time `lastWriteTime` (a FILETIME value). Returns kStepSucceeded, or the exit code of
// the message it has shown; a partly written target is left where it is. A target that another
// program holds open is waited for as long as the run's `wait` allows.
uint32_t ExtractEmbeddedFile(HANDLE source, uint32_t offset, uint32_t size, uint64_t lastWriteTime,
                             const WideString& targetPath, HoldWait& wait);

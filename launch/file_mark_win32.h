// Reading what recognises a file the run holds: its identity and its change time.
#pragma once

#include <windows.h>

#include "launch/file_mark.h"

inline FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// Which file `file` (open with at least FILE_READ_ATTRIBUTES) is and when it last changed; the
// parts the system does not tell are 0.
HeldFileMark MarkOf(HANDLE file);

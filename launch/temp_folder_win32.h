// The temporary folder and the extraction sub-folder inside it.
#pragma once

#include <windows.h>

#include "launch/held_step.h"
#include "launch/long_path.h"
#include "launch/wide_string.h"

// The user's temporary folder, normally with a trailing backslash. For a process running as
// SYSTEM this is a folder of SYSTEM's own where the system provides one (GetTempPath2W:
// C:\Windows\SystemTemp, or what the SystemTemp variable names; TMP and TEMP count for nothing
// there), not the world-writable C:\Windows\Temp. False when no usable path is available.
// `buffer` is the caller's path buffer, which the platform fills.
bool TemporaryFolder(wchar_t (&buffer)[kLongPathBuffer], WideString& path);

// Makes `folder` ready to receive the extracted files. A new folder is created with a protected
// access list that admits only the current user, SYSTEM and the Administrators group. An existing
// one is reused only when one of those owns it: a folder planted by another local user could
// carry a DLL beside the installer or let the installer be swapped before it starts. On a volume
// that keeps no access lists (FAT32, exFAT) an existing folder is reused and a new one used, except
// by SYSTEM, which refuses both (a new one is removed again). Either way
// the folder itself (never a link planted in its place) is returned open and held: until the caller
// closes the handle, just before removing the folder, nobody can rename, delete or replace it.
// A folder of that name an earlier run removed while something still held it is waited for as a
// hold, within the run's `wait`. INVALID_HANDLE_VALUE when the folder cannot be made, is a link or
// no folder, or is not trusted; nothing is shown here.
HANDLE PrepareExtractionFolder(const WideString& folder, HoldWait& wait);

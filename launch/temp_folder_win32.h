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

// Makes `folder` ready to receive the extracted files: a new folder admits only the current user,
// SYSTEM and the Administrators group, an existing one is used only as MayExtractInto allows, and
// one an earlier run left pending deletion is waited for within `wait`. The folder itself, never a
// link planted in its place, is returned open and held until the caller closes the handle (the
// story is in docs/security.md, from "A new extraction folder admits only the user" on).
// INVALID_HANDLE_VALUE when it cannot be made, is a link or no folder, or is not trusted; nothing
// is shown here.
HANDLE PrepareExtractionFolder(const WideString& folder, HoldWait& wait);

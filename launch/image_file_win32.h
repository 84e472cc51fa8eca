// The launcher's own file, checked against the file its running image was mapped from.
#pragma once

#include <windows.h>

// False when `file`, the launcher's own file opened by its path, is shown to be another file than
// the one the running image was mapped from, or when that file is denied to the user (see
// ReadsOwnImage). True when they are the same, and where the platform cannot tell.
bool IsOwnImageFile(HANDLE file);

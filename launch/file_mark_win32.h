// Reading what recognises a file the run holds: its identity and its change time.
#pragma once

#include <windows.h>

#include "launch/file_mark.h"

// Which file `file` (open with at least FILE_READ_ATTRIBUTES) is: its 128-bit id where the system
// gives one (FILE_ID_INFO, Windows 8 and Server 2012 on), else its 64-bit file index; all 0 where
// neither can be read.
FileIdentity IdentityOf(HANDLE file);

// Which file `file` is and when it last changed; the parts the system does not tell are 0.
HeldFileMark MarkOf(HANDLE file);

// Deleting the extracted files and their folder once the installer has ended, waiting out other
// programs' holds on them within the run's wait. The decisions these calls act on are in
// step_outcome.h and file_mark.h.
#pragma once

#include <windows.h>

#include "launch/file_mark.h"
#include "launch/held_step.h"
#include "launch/wide_string.h"

// Deletes the file open as `file` (with DELETE and FILE_WRITE_ATTRIBUTES), at `path`: the file
// that was checked is the one deleted, whatever the name meanwhile names. Also a read-only file.
// False, with the system's error as the last error, when the system refused.
bool DeleteThroughHandle(HANDLE file, const WideString& path);

// Deletes an extracted file once the installer is gone, if it is still the file the run held
// (`kept`); one that another start of the launcher file has written since the hold ended is left
// to that start. `heldSince` gathers, across both files, whether another program held one since
// the holds ended. Another program's hold is waited for as long as the run's `wait` allows; a
// file the run marked goes when the holder lets go, also after the wait. True when the run marked
// the file for deletion.
bool DeleteExtractedFile(const WideString& path, const HeldFileMark& kept, bool& heldSince,
                         HoldWait& wait);

// Removes the extraction folder once the files are gone; it stays if anything else is in it. While
// a file the run marked for deletion keeps its name, that is waited for like any other hold.
void RemoveFolder(const WideString& folder, const WideString& installerPath, bool installerMarked,
                  const WideString& packagePath, bool packageMarked, HoldWait& wait);

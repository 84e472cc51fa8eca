// The launcher's way of copying a file, timed without the launcher: the bare copy it is compared
// with (bare-copy, and the driver's copy pairs).
#pragma once

#include <windows.h>

#include <string>

// Copies `source` into a new file `target` with ReadFile and WriteFile in pieces of `pieceSize`
// bytes through `buffer`, whole pieces read and written until the source is used up.
bool CopyFileInPieces(const std::wstring& source, const std::wstring& target, DWORD pieceSize,
                      void* buffer);

// The launcher's own file, checked against the file its running image was mapped from, and the
// identity of the files the run writes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "launch/extraction_folder.h"

// False when `file`, the launcher's own file opened by its path, is shown to be another file than
// the one the running image was mapped from, or when that file is denied to the user (see
// ReadsOwnImage). True when they are the same, and where the platform cannot tell.
bool IsOwnImageFile(HANDLE file);

// Which file `file` (open with at least FILE_READ_ATTRIBUTES) is and when it last changed; the
// parts the system does not tell are 0.
HeldFileMark MarkOf(HANDLE file);

// The file offset of the certificate table, as the image's own headers in memory name it; 0 when
// they name none. No read of the file: these are the headers the signature was checked against.
uint32_t CertificateTableOffset();

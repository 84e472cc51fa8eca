// The launcher's own file, checked against the file its running image was mapped from.
#pragma once

#include <windows.h>

#include <cstdint>

// False when `file`, the launcher's own file opened by its path, is shown to be another file than
// the one the running image was mapped from, or when that file is denied to the user (see
// ReadsOwnImage). True when they are the same, and where the platform cannot tell.
bool IsOwnImageFile(HANDLE file);

// The file offset of the certificate table, as the image's own headers in memory name it; 0 when
// they name none. No read of the file: these are the headers the signature was checked against.
uint32_t CertificateTableOffset();

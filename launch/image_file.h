// Whether the file the launcher reads its payload from is the file its image was mapped from.
// The platform lets a running program's file be renamed, so the path the module name gives may
// name another file by the time the launcher opens it; the two are compared by identity.
#pragma once

#include <cstddef>
#include <cstdint>

#include "launch/file_mark.h"
#include "launch/wide_string.h"

// The mapped image's name as the platform reports it, made into a path the file functions open:
// "\??\Z:\dir\file.exe" (Wine) becomes "\\?\Z:\dir\file.exe", and a device path such as
// "\Device\HarddiskVolume3\dir\file.exe" (Windows) becomes
// "\\?\GLOBALROOT\Device\HarddiskVolume3\dir\file.exe". Any other form gives an empty string.
WideString OpenableImagePath(const char16_t* name, size_t length);

enum class ImageFileLookup {
  kFound,        // the mapped file was opened and its identity read
  kUnavailable,  // the platform offers no way to name or open it (older systems, some devices)
  kDenied,       // it exists but the user may not open it
};

// The launcher may read from the file it opened when the mapped image's file is that same file,
// or when the platform cannot tell (the behaviour of systems without the lookup, and of files
// whose id tells nothing, see IdentityTells). A mapped file
// the user is denied is refused: moving the original into a folder closed to the user is how a
// swap would hide it.
bool ReadsOwnImage(ImageFileLookup lookup, const FileIdentity& opened, const FileIdentity& image);

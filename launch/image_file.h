// Whether the file the launcher reads its payload from is the file its image was mapped from.
// The platform lets a running program's file be renamed, so the path the module name gives may
// name another file by the time the launcher opens it; the two are compared by identity.
#pragma once

#include <cstddef>
#include <cstdint>

#include "launch/wide_string.h"

// The mapped image's name as the platform reports it, made into a path the file functions open:
// "\??\Z:\dir\file.exe" (Wine) becomes "\\?\Z:\dir\file.exe", and a device path such as
// "\Device\HarddiskVolume3\dir\file.exe" (Windows) becomes
// "\\?\GLOBALROOT\Device\HarddiskVolume3\dir\file.exe". Any other form gives an empty string.
WideString OpenableImagePath(const char16_t* name, size_t length);

// What identifies a file on the machine: the volume's serial number and the file's index on it.
struct FileIdentity {
  uint32_t volumeSerial;
  uint32_t indexHigh;
  uint32_t indexLow;
};

bool SameFile(const FileIdentity& one, const FileIdentity& other);

enum class ImageFileLookup {
  kFound,        // the mapped file was opened and its identity read
  kUnavailable,  // the platform offers no way to name or open it (older systems, some devices)
  kDenied,       // it exists but the user may not open it
};

// The launcher may read from the file it opened when the mapped image's file is that same file,
// or when the platform cannot tell (the behaviour of systems without the lookup). A mapped file
// the user is denied is refused: moving the original into a folder closed to the user is how a
// swap would hide it.
bool ReadsOwnImage(ImageFileLookup lookup, const FileIdentity& opened, const FileIdentity& image);

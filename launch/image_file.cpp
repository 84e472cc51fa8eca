#include "launch/image_file.h"

// Whether `name` (of `length` units) starts with the terminated text `prefix`.
static bool StartsWith(const char16_t* name, size_t length, const char16_t* prefix) {
  size_t i = 0;
  for (; prefix[i] != 0; ++i) {
    if (i == length || name[i] != prefix[i]) return false;
  }
  return true;
}

WideString OpenableImagePath(const char16_t* name, size_t length) {
  WideString path;
  if (StartsWith(name, length, u"\\??\\") && length > 4) {
    if (!path.Assign(u"\\\\?\\", 4) || !path.Append(name + 4, length - 4)) path = WideString();
  } else if (StartsWith(name, length, u"\\Device\\") && length > 8) {
    if (!path.Assign(u"\\\\?\\GLOBALROOT", 14) || !path.Append(name, length)) path = WideString();
  }
  return path;
}

bool ReadsOwnImage(ImageFileLookup lookup, const FileIdentity& opened, const FileIdentity& image) {
  if (lookup == ImageFileLookup::kDenied) return false;
  // An id that tells nothing is as good as no lookup at all.
  if (lookup == ImageFileLookup::kUnavailable || !IdentityTells(opened) || !IdentityTells(image)) {
    return true;
  }
  return SameIdentity(opened, image);
}

// Whether the launcher may write the installer and the package into the extraction folder, apart
// from the platform calls that make the folder and read its owner (temp_folder_win32.cpp).
#pragma once

// How the attempt to create the folder went.
enum class FolderCreation {
  kCreated,  // made now, with the protected access list when the principals were known
  kExists,   // a folder (or something else) of that name was there already
  kFailed,   // anything else
};

// Who owns a folder that was there already.
enum class FolderOwner {
  kTrusted,      // the current user, SYSTEM or the Administrators group
  kOther,        // anybody else: another local user may have planted it
  kUnknown,      // the owner could not be read, or the folder has none
  kNotRecorded,  // the volume keeps no access lists or owners at all (FAT32, exFAT, some RAM disks)
};

// Whether the launcher may write the installer and the package into the folder: one it has just
// made, or an existing one a trusted principal owns where the principals are known. On a volume
// that records no owners (`owner` kNotRecorded) nothing tells a planted folder from the user's own,
// so a run uses either, except as SYSTEM (`runsAsSystem`), which uses neither (docs/security.md,
// "An existing folder is reused only when a trusted principal owns it").
bool MayExtractInto(FolderCreation creation, bool principalsKnown, FolderOwner owner,
                    bool runsAsSystem);

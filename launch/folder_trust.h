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

// Whether the launcher may write the installer and the package into the folder. A folder it has
// just made is its own, even where the principals of the access list were not known and a plain
// folder was made. An existing folder is used only when it belongs to a trusted principal and
// those principals are known: a folder planted by another local user could carry a DLL beside the
// installer or let the installer be swapped before it starts.
//
// On a volume that records no owners (`owner` kNotRecorded, for a new folder as for an existing
// one) nothing tells a planted folder from one the user's own earlier run left behind, and nothing
// keeps anybody out of a folder made now either: between its creation and the installer's start
// anyone may drop a file into a folder of that predictable name. Refusing an existing one would
// only make every later run fail until somebody deletes it by hand, so a run that is not SYSTEM's
// uses either. A process running as SYSTEM (`runsAsSystem`), whose temporary folder should never
// lie on such a volume and whose installer would load a planted DLL with the machine's own
// rights, uses neither.
bool MayExtractInto(FolderCreation creation, bool principalsKnown, FolderOwner owner,
                    bool runsAsSystem);

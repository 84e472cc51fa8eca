// The decisions about the extraction folder, apart from the platform calls that make, open and
// remove it (temp_folder_win32.cpp, run_install_win32.cpp): whether the launcher may write into
// it, and how long its removal is tried again.
#pragma once

#include <cstdint>

// How the attempt to create the folder went.
enum class FolderCreation {
  kCreated,  // made now, with the protected access list when the principals were known
  kExists,   // a folder (or something else) of that name was there already
  kFailed,   // anything else
};

// Who owns a folder that was there already.
enum class FolderOwner {
  kTrusted,  // the current user, SYSTEM or the Administrators group
  kOther,    // anybody else: another local user may have planted it
  kUnknown,  // the owner could not be read
};

// Whether the launcher may write the installer and the package into the folder. A folder it has
// just made is its own, even where the principals of the access list were not known and a plain
// folder was made. An existing folder is used only when it belongs to a trusted principal and
// those principals are known: a folder planted by another local user could carry a DLL beside the
// installer or let the installer be swapped before it starts.
bool MayExtractInto(FolderCreation creation, bool principalsKnown, FolderOwner owner);

// The removal of the folder once the installer has ended. The ended installer's hold on it as its
// working directory can outlive the moment its process is signalled (seen under Wine), so a
// sharing violation is tried again, for up to about two seconds; any other failure (a folder the
// installer left files in is not empty) ends the removal at once.
enum class RemovalOutcome { kRemoved, kSharingViolation, kOtherFailure };
constexpr int kRemovalAttempts = 40;
constexpr uint32_t kRemovalPauseMs = 50;

// Whether to try again, and wait kRemovalPauseMs first, after `attemptsMade` attempts of which the
// last ended with `outcome`.
bool TryRemovalAgain(int attemptsMade, RemovalOutcome outcome);

// The decisions about the extraction folder and the two files in it, apart from the platform calls
// that make, open, start and remove them (temp_folder_win32.cpp, extract_win32.cpp,
// run_install_win32.cpp): whether the launcher may write into the folder, and how long a step that
// another program's hold on a file gets in the way of is tried again.
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
// On a volume that records no owners nothing tells a planted folder from one the user's own
// earlier run left behind, and nothing would keep anybody out of a folder made now either; refusing
// it would only make every later run fail until somebody deletes it by hand. It is used, except by
// a process running as SYSTEM (`runsAsSystem`), whose temporary folder should never lie on such a
// volume and whose installer would load a planted DLL with the machine's own rights.
bool MayExtractInto(FolderCreation creation, bool principalsKnown, FolderOwner owner,
                    bool runsAsSystem);

// The Windows error codes the decisions below tell apart (winerror.h).
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;

// How one attempt at a step ended.
enum class StepOutcome {
  kDone,
  kHeld,    // another program has the file open: a scanner, an indexer or a backup agent
  kFailed,  // anything else; trying again would not change it
};

// Creating a file, opening it to hold it and starting the installer fail for a moment when another
// program has the file open without the sharing the launcher asks for.
StepOutcome OutcomeOfOpen(bool succeeded, uint32_t error);

// Deleting an extracted file. A file someone else has open without delete sharing cannot be
// deleted yet; one they hold with delete sharing is only marked for deletion, keeps its name until
// they close it, and meets a second deletion with access denied (`nameRemains`: the name is still
// there after the launcher's deletion succeeded). A file that is gone is deleted, whoever did it.
StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, bool nameRemains);

// Removing the folder. The ended installer's hold on it as its working directory can outlive the
// moment its process is signalled (seen under Wine). Any other failure, such as a folder the
// installer left files in, ends the removal at once.
StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error);

// One run waits at most kHoldWaitLimitMs in all for other programs to let go of its files, in
// pauses of kHoldPauseMs: a scanner's hold on a new file lasts well under a second, and a run
// meets few of them. A file held for longer than that fails as it would without the wait, and
// the user learns so within seconds.
constexpr uint32_t kHoldWaitLimitMs = 5000;
constexpr uint32_t kHoldPauseMs = 50;

struct HoldWait {
  uint32_t waitedMs = 0;
};

// Whether to try a step again after an attempt that ended with `outcome`; when so, the caller
// pauses kHoldPauseMs first, and that pause is counted against the run's wait.
bool WaitForHolderAgain(HoldWait& wait, StepOutcome outcome);

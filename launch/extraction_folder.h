// The decisions about the extraction folder and the two files in it, apart from the platform calls
// that make, open, start and remove them (temp_folder_win32.cpp, extract_win32.cpp,
// run_install_win32.cpp): whether the launcher may write into the folder, and how long a step that
// another program's hold on a file gets in the way of is tried again.
#pragma once

#include <cstdint>

#include "launch/image_file.h"

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

// What is found under an extracted file's name after an attempt to delete it.
enum class NameLeft {
  kGone,        // nothing: deleted, whoever did it
  kReadable,    // a file whose attributes can be read: plainly there
  kUnreadable,  // a file whose attributes cannot be read: marked for deletion, its name kept until
                // the last program that holds it lets go
};

// Deleting an extracted file. A file someone else has open without delete sharing cannot be
// deleted yet (a sharing or lock violation); one they hold with delete sharing is only marked for
// deletion and keeps its name until they close it, meeting a second deletion with access denied.
// Both are waited for. Access denied on a file that is plainly there is no holder: a read-only
// file, a program image another process still runs, an access list; waiting changes none of them.
StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, NameLeft name);

// What the clean-up knows of an extracted file, read on the run's own hold of it just before the
// hold ends, after the installer has ended: which file it is, and when it last changed (0 where
// the system does not tell).
struct HeldFileMark {
  FileIdentity identity;
  uint64_t changed;
};

// Whether the file found under an extracted file's name at the clean-up is still the one the run
// held. Another start of the same launcher file writes into the same file, over it, as soon as the
// hold has ended, and writes the same bytes with the same time stamp: only the change time tells
// its file from this run's, and the run must not delete it from under that start.
bool IsFileTheRunHeld(const HeldFileMark& kept, const HeldFileMark& found);

// Removing the folder. The ended installer's hold on it as its working directory can outlive the
// moment its process is signalled (seen under Wine). Any other failure, such as a folder the
// installer left files in, ends the removal at once.
StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error);

// One run waits at most kHoldWaitLimitMs in all for other programs to let go of its files, trying
// a held step again after pauses of kHoldPauseMs: a scanner's hold on a new file lasts well under a
// second, and a run meets few of them. The wait is time on the clock, the attempts' own time
// included (a creation on a slow network share, a start through the shell), so a step held for
// good ends at most kHoldWaitLimitMs and one attempt after it began. A file held for longer fails
// as it would without the wait, and the user learns so within seconds.
constexpr uint32_t kHoldWaitLimitMs = 5000;
constexpr uint32_t kHoldPauseMs = 50;

// The clock the wait is measured on and the pause between attempts: the system's millisecond tick
// count, which wraps to 0 every 49.7 days (differences are taken modulo 2^32, so the wrap is
// harmless), and its sleep in the launcher; simulated ones in the tests.
struct HoldClock {
  uint32_t (*now)();
  void (*pause)(uint32_t ms);
};

// The run's wait: its clock, and how much of it the run's earlier steps have spent.
struct HoldWait {
  const HoldClock* clock;
  uint32_t spentMs = 0;
};

// One attempt at a step; `context` is the caller's.
using StepAttempt = StepOutcome (*)(void* context);

// Makes `attempt` until it is done or has failed for good. While another program holds the file it
// pauses and tries again, as long as the time since the step's first attempt began stays within
// what is left of the run's wait. A step that met a holder spends that time of the run's wait.
// Returns the last attempt's outcome.
StepOutcome RetryWhileHeld(HoldWait& wait, StepAttempt attempt, void* context);

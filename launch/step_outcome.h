// What the end of one attempt at a step on an extracted file or its folder means: done, held by
// another program for a moment (worth waiting for), or failed for good. The platform calls whose
// results these read are in held_step_win32.cpp and run_install_win32.cpp.
#pragma once

#include <cstdint>

#include "launch/error_codes.h"

// How one attempt at a step ended.
enum class StepOutcome {
  kDone,
  kHeld,    // another program has the file open: a scanner, an indexer or a backup agent
  kFailed,  // anything else; trying again would not change it
};

// What is found under an extracted file's name after an attempt to create, open or delete it.
enum class NameLeft {
  kGone,        // nothing: deleted, whoever did it
  kReadable,    // a file whose attributes can be read: plainly there
  kUnreadable,  // a file whose attributes cannot be read: marked for deletion, its name kept until
                // the last program that holds it lets go
};

// Creating a file, opening it to hold it and starting the installer fail for a moment when another
// program has the file open without the sharing the launcher asks for. Where deletion keeps the
// name of a file held with delete sharing (FAT, network shares, systems without POSIX deletion),
// a leftover file an earlier run or a scanner's last hold left marked for deletion refuses the
// creation with access denied until the holder lets go, and its attributes can no longer be read
// (`name` kUnreadable): that is waited for too. Access denied on a file that is plainly there is an
// access list or a protected file, which no wait changes. `name` matters only for access denied.
StepOutcome OutcomeOfOpen(bool succeeded, uint32_t error, NameLeft name = NameLeft::kReadable);

// Deleting an extracted file. A file someone else has open without delete sharing cannot be
// deleted yet (a sharing or lock violation); one they hold with delete sharing is only marked for
// deletion and keeps its name until they close it, meeting a second deletion with access denied.
// Both are waited for. Access denied on a file that is plainly there is no holder: a read-only
// file, a program image another process still runs, an access list; waiting changes none of them.
StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, NameLeft name);

// Removing the folder. The ended installer's hold on it as its working directory can outlive the
// moment its process is signalled (seen under Wine). A folder that is not empty only because a file
// the run deleted keeps its name until another program lets go of it (`ownFileMarked`) empties when
// it does. Any other failure, such as a folder the installer left files in, ends the removal at
// once.
StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error, bool ownFileMarked);

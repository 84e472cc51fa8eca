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
// The extraction folder's creation is judged the same way: a folder an earlier run removed while
// something still held it stays pending deletion, refusing its creation with access denied and
// its attributes unreadable, until the holder lets go.
StepOutcome OutcomeOfOpen(bool succeeded, uint32_t error, NameLeft name = NameLeft::kReadable);

// Which part of a deletion was refused: opening the name for deletion, or marking the file the
// run has open with delete access.
enum class DeletionPart {
  kOpen,
  kMark,
};

// Deleting an extracted file. A file someone else has open without delete sharing cannot be
// deleted yet (a sharing or lock violation); one they hold with delete sharing is only marked for
// deletion and keeps its name until they close it, meeting a second deletion with access denied.
// Both are waited for. Access denied on opening a file that is plainly there is no holder: an
// access list or a protected file, which no wait changes. Access denied on marking a file already
// open with delete access is a mapped view of it (STATUS_CANNOT_DELETE): the ended installer's
// image, which can outlive the moment its process is signalled, or a scanner that maps the file;
// both end, so that is waited for too.
StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, NameLeft name,
                              DeletionPart part = DeletionPart::kOpen);

// Removing the folder. The ended installer's hold on it as its working directory can outlive the
// moment its process is signalled (seen under Wine). A folder that is not empty only because names
// marked for deletion stay in it until another program lets go of them (`onlyMarkedNamesLeft`: the
// run's own marked files, or files the installer deleted while a scanner held them) empties when
// it does. Any other failure, such as a folder the installer left files in, ends the removal at
// once.
StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error, bool onlyMarkedNamesLeft);

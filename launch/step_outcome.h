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

// Creating a file or the extraction folder, opening a file to hold it, starting the installer: a
// sharing or lock violation is another program's hold, and so is access denied on a name whose
// attributes cannot be read (`name` kUnreadable: marked for deletion, kept until its holder lets
// go). Access denied on a name plainly there is an access list, which no wait changes; `name`
// matters only for access denied (docs/security.md, "Holds the launcher waits for").
StepOutcome OutcomeOfOpen(bool succeeded, uint32_t error, NameLeft name = NameLeft::kReadable);

// Which part of a deletion was refused: opening the name for deletion, or marking the file the
// run has open with delete access.
enum class DeletionPart {
  kOpen,
  kMark,
};

// Deleting an extracted file: a sharing or lock violation, access denied on a name marked for
// deletion, and access denied on marking a file the run has open with delete access (a mapped
// view, STATUS_CANNOT_DELETE) are holds that end; access denied on opening a name plainly there is
// not (docs/security.md, "Holds the launcher waits for").
StepOutcome OutcomeOfDeletion(bool succeeded, uint32_t error, NameLeft name,
                              DeletionPart part = DeletionPart::kOpen);

// Removing the folder. The ended installer's hold on it as its working directory can outlive the
// moment its process is signalled (seen under Wine). A folder that is not empty only because names
// marked for deletion stay in it until another program lets go of them (`onlyMarkedNamesLeft`: the
// run's own marked files, or files the installer deleted while a scanner held them) empties when
// it does. Any other failure, such as a folder the installer left files in, ends the removal at
// once.
StepOutcome OutcomeOfRemoval(bool succeeded, uint32_t error, bool onlyMarkedNamesLeft);

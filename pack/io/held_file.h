// How long the tool waits for another program to let go of a file it replaces or removes on
// Windows: Explorer's preview pane, an indexer, a scanner or a signing tool holds a fresh file for
// a moment; the previous build of a launcher file may still be running under test. Apart from the
// platform calls (file_system_win32.cpp), so that the decision is tested on any host.
#pragma once

#include <cstdint>
#include <string>

// What is known of the file in the way (or, where there is none, of its folder) right after an
// access denied, which another program's hold on it, a pending deletion, a read-only file and the
// access rights all give.
enum class InTheWay {
  kMaybeHeld,  // nothing else explains it: another program may hold it, or its deletion is pending
  kReadOnly,   // the file there is marked read-only
  kDenied,     // the user may not delete the file, or not add one to the folder: its rights deny it
};

// Whether to try again after the Windows error `error`, `elapsedMs` after the first attempt, and a
// pause of kHoldPauseMs: for a sharing or lock violation, or access denied (a file another
// program holds pending deletion gives that), as long as the next attempt comes within the
// launcher's own hold wait (kHoldWaitLimitMs, 5 seconds) of the first. Measured in elapsed time,
// so a slow attempt counts too. Access denied on a read-only file or one the rights deny
// (`inTheWay`) is no hold, and no wait changes it: it is not tried again.
bool TryAgainWhileHeld(uint32_t error, uint64_t elapsedMs, InTheWay inTheWay);

// What follows the system's error in the message when the file in the way could not be replaced
// or removed after the last attempt: that it is read-only or denied and what to do, that another
// program held it for the whole wait, or nothing.
std::string HoldNote(uint32_t error, InTheWay inTheWay);

// Interrupted runs leave nothing: while an output file is being written under its temporary name,
// an interrupt (SIGINT, SIGTERM or SIGHUP; on Windows a console Ctrl+C, Ctrl+Break or close)
// removes that temporary file before the process ends as the interrupt would have ended it.
// Only SIGKILL (or a power cut) can leave a "NAME.<16 hex digits>.tmp" beside the output.
// One implementation per platform (interrupt_cleanup_posix.cpp, interrupt_cleanup_win32.cpp).
#pragma once

#include <filesystem>

// Starts guarding `temporary` and returns the guard's number for ForgetOnInterrupt, or -1 when it
// cannot be guarded (the path is too long, or more files are open than the tool ever writes at
// once). The first call sets up the handlers; an interrupt ignored when the tool started (nohup)
// stays ignored.
int RemoveOnInterrupt(const std::filesystem::path& temporary);

// Stops guarding: the file has been renamed into place or removed. Ignores -1.
void ForgetOnInterrupt(int guard);

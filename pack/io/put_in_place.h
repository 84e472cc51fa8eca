// Putting a finished file in the place of its target.
#pragma once

#include <filesystem>

// Puts `written` in the place of `target`, replacing a file there only when `replace` says so:
// otherwise a file that appeared under the name since the caller looked stays, and the call
// throws. On Windows another program's
// hold on the target is waited out for the launcher's hold wait at most (TryAgainWhileHeld).
// Throws PackError naming the target and the system's
// error; `written` is then still there and the target as it was.
void PutInPlace(const std::filesystem::path& written, const std::filesystem::path& target,
                bool replace);

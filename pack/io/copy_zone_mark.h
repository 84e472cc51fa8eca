// Carrying a file's mark of the web onto a file made from it; whether to write it at all is
// MarkWriteFor's (zone_mark.h).
#pragma once

#include <filesystem>
#include <string>

// Carries `source`'s mark of the web (its Zone.Identifier stream, which a browser writes on a
// download) onto `target`, where the target's volume can hold it, written through to the disk.
// Nothing when the source has none, and nothing on POSIX. Where the volume says it holds named
// streams, a mark that cannot be written throws PackError; where the volume cannot be asked (a
// share: SMB answers no volume queries) it is written all the same, and the answer is a warning
// when that fails (MarkWriteFor). Empty otherwise.
std::string CopyZoneMark(const std::filesystem::path& source, const std::filesystem::path& target);

// The rules a name must meet to be used by the launcher as one path component on Windows: the
// folder created in the temporary folder and the two files written into it; and the one rule of
// the title.
#pragma once

#include <optional>
#include <string>

// Why `name` cannot be a Windows file name, or nothing when it can. The reason reads after the
// name, e.g. "contains '/', a path separator".
std::optional<std::string> FileNameProblem(const std::u16string& name);

// Windows compares file names without regard to case.
bool SameFileName(const std::u16string& a, const std::u16string& b);

// Why `title` cannot be the title (the caption of the launcher's messages), or nothing when it
// can: it holds a C0 or C1 control character or DEL. The reason reads after the title.
std::optional<std::string> TitleProblem(const std::u16string& title);

// The rules a name must meet to be used by the launcher as one path component on Windows: the
// folder created in the temporary folder and the two files written into it.
#pragma once

#include <optional>
#include <string>

// Why `name` cannot be a Windows file name, or nothing when it can. The reason reads after the
// name, e.g. "contains '/', a path separator".
std::optional<std::string> FileNameProblem(const std::u16string& name);

// Windows compares file names without regard to case.
bool SameFileName(const std::u16string& a, const std::u16string& b);

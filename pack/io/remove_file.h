// Removing a file, with the reason when it stays.
#pragma once

#include <filesystem>
#include <string>

// Removes the file; an empty text when it is gone, or why it is not.
std::string RemoveFile(const std::filesystem::path& path);

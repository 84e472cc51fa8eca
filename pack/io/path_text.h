// Paths to and from UTF-8 text.
#pragma once

#include <filesystem>
#include <string>

// The path as UTF-8, for messages, and a path from UTF-8 (the command line's encoding).
std::string PathText(const std::filesystem::path& path);
std::filesystem::path PathFromText(const std::string& utf8);

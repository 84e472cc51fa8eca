// Creating a folder and the folders above it.
#pragma once

#include <filesystem>

// Creates the folder and any missing folders above it. Throws PackError.
void CreateFolders(const std::filesystem::path& folder);

// Folders and files on disk as the end-to-end tests see them, through the same wide-character
// calls the launcher uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `folder`, one backslash, `name`.
std::wstring PathIn(const std::wstring& folder, const std::wstring& name);

bool MakeFolder(const std::wstring& path);
bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);

// Removes a folder with everything in it; true when it is gone afterwards.
bool RemoveTree(const std::wstring& path);

// The names in a folder, sorted, without "." and "..".
std::vector<std::wstring> FolderEntries(const std::wstring& folder);

std::vector<uint8_t> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);

// The last-write time as a FILETIME value; 0 when the file cannot be opened.
uint64_t WriteTimeOrZero(const std::wstring& path);
bool SetLastWriteTime(const std::wstring& path, uint64_t fileTime);

// Whether the launcher can make its folder and write both files inside a usual temporary folder.
// The launcher is not long-path aware and puts no "\\?\" before its paths, so Windows' short-path
// limits hold for it: CreateDirectoryW takes a folder path of at most 247 units (MAX_PATH less
// 12, the room for an 8.3 name, is 248 with the terminating null), CreateFileW a file path of at
// most 259 (MAX_PATH, 260, with the terminating null). Longer paths fail with
// "テンポラリファイルを作成できません。" (exit code 82).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

constexpr int64_t kLongestFolderPath = 247;
constexpr int64_t kLongestFilePath = 259;

// "C:\Users\<name>\AppData\Local\Temp\" for a user name of 20 characters, the longest logon name
// Windows gives an account (sAMAccountName), which is also its profile folder's name: 9 + 20 + 20.
constexpr int64_t kUsualTempFolderLength = 49;

// The longest temporary folder, counted in UTF-16 units with its final backslash as the system
// gives it, in which the launcher still can create `folderName` and the longer of the two files:
// the folder's path is the temporary folder and the folder name, a file's path that and a
// backslash and the file name. Negative when no temporary folder leaves room.
int64_t TempFolderRoom(const std::u16string& folderName, const std::u16string& installerName,
                       const std::u16string& packageName);

// A warning when that room is less than kUsualTempFolderLength, naming the name that takes it;
// nothing otherwise.
std::optional<std::string> TempPathWarning(const std::u16string& folderName,
                                           const std::u16string& installerName,
                                           const std::u16string& packageName);

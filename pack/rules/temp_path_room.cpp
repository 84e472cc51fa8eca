#include "pack/rules/temp_path_room.h"

#include <algorithm>

namespace {

struct Room {
  int64_t forFolder;  // left by the folder's own path
  int64_t forFile;    // left by the path of the longer file
};

Room RoomOf(const std::u16string& folderName, const std::u16string& installerName,
            const std::u16string& packageName) {
  int64_t folder = static_cast<int64_t>(folderName.size());
  int64_t file = static_cast<int64_t>(std::max(installerName.size(), packageName.size()));
  return {kLongestFolderPath - folder, kLongestFilePath - folder - 1 - file};
}

constexpr int64_t kShortestTempFolder = 3;  // "C:\"

}  // namespace

int64_t TempFolderRoom(const std::u16string& folderName, const std::u16string& installerName,
                       const std::u16string& packageName) {
  Room room = RoomOf(folderName, installerName, packageName);
  return std::min(room.forFolder, room.forFile);
}

std::optional<std::string> TempPathWarning(const std::u16string& folderName,
                                           const std::u16string& installerName,
                                           const std::u16string& packageName) {
  Room room = RoomOf(folderName, installerName, packageName);
  int64_t left = std::min(room.forFolder, room.forFile);
  if (left >= kUsualTempFolderLength) return std::nullopt;
  std::string names = room.forFolder <= room.forFile ? "the folder name leaves"
                      : installerName.size() >= packageName.size()
                          ? "the folder name and the installer name leave"
                          : "the folder name and the package name leave";
  std::string roomText = left >= kShortestTempFolder ? "room for a temporary folder of only " +
                                                           std::to_string(left) + " characters"
                                                     : "room for no temporary folder at all";
  return names + " " + roomText +
         ", and the launcher does not use long paths: under a usual "
         "C:\\Users\\<name>\\AppData\\Local\\Temp\\ (" +
         std::to_string(kUsualTempFolderLength) +
         " characters for a user name of 20) it cannot create its files there "
         "(\"テンポラリファイルを作成できません。\", exit code 82). Shorten the names";
}

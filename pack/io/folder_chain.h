// Creating a folder and the missing folders above it, apart from the platform's call so that the
// order is tested on any host. The folder itself is created first, and the one above it only when
// the system says that is missing: asked the other way round, from the top down, the parent of
// "\\?\C:\New" is "\\?\C:", the volume's device, which is no folder, and of a share's
// "\\server\share" nothing can be told at all.
#pragma once

#include <filesystem>

// How one attempt to create one folder went.
enum class FolderAttempt {
  kMade,
  kExists,         // a folder of that name is there already
  kParentMissing,  // ERROR_PATH_NOT_FOUND, ENOENT: the folder above it is missing
  kFailed,         // anything else, a file of that name among it
};

// What the system's refusal to create one folder said, as far as the chain cares.
enum class FolderRefusal {
  kAlreadyExists,  // ERROR_ALREADY_EXISTS, EEXIST
  kAccessDenied,   // ERROR_ACCESS_DENIED, EACCES
  kParentMissing,  // ERROR_PATH_NOT_FOUND, ENOENT
  kOther,
};

// What a refused creation means, given whether a folder is found under the name afterwards
// (`folderThere`). A volume's root ("D:\", "\\?\D:\", a share's "\\server\share\") cannot be
// created, and Windows answers access denied there, not "already exists": a folder that is there
// is there, whatever the refusal said. A name that is no folder, or no name, fails.
inline FolderAttempt AttemptAfterRefusal(FolderRefusal refusal, bool folderThere) {
  switch (refusal) {
    case FolderRefusal::kParentMissing:
      return FolderAttempt::kParentMissing;
    case FolderRefusal::kAlreadyExists:
    case FolderRefusal::kAccessDenied:
      return folderThere ? FolderAttempt::kExists : FolderAttempt::kFailed;
    case FolderRefusal::kOther:
      break;
  }
  return FolderAttempt::kFailed;
}

// Creates `folder` with `create` (FolderAttempt(const std::filesystem::path&)), going up one
// folder and down again on kParentMissing. The answer is the attempt that ended it; on kFailed
// and kParentMissing `failed` names the folder it was for.
template <typename Create>
FolderAttempt CreateFolderChain(const std::filesystem::path& folder, Create create,
                                std::filesystem::path& failed) {
  FolderAttempt attempt = create(folder);
  if (attempt == FolderAttempt::kParentMissing) {
    std::filesystem::path parent = folder.parent_path();
    if (parent.empty() || parent == folder) {
      failed = folder;
      return attempt;
    }
    FolderAttempt above = CreateFolderChain(parent, create, failed);
    if (above != FolderAttempt::kMade && above != FolderAttempt::kExists) return above;
    attempt = create(folder);
  }
  if (attempt == FolderAttempt::kFailed || attempt == FolderAttempt::kParentMissing)
    failed = folder;
  return attempt;
}

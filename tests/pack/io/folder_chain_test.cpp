// Creating a folder and the missing folders above it, as extract -d does.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

#include "pack/io/folder_chain.h"

// extract -d on Windows: the folder is asked for first, and a folder above it only when the
// system says that one is missing, so nothing above the first existing folder is touched.
TEST(CreateFolderChain, GoesUpOnlyWhileTheFolderAboveIsMissing) {
  std::set<std::filesystem::path> there{"/v"};  // "/" answers as a volume device: access denied
  std::vector<std::filesystem::path> asked;
  auto create = [&](const std::filesystem::path& path) {
    asked.push_back(path);
    if (path == "/") return FolderAttempt::kFailed;
    if (there.count(path)) return FolderAttempt::kExists;
    if (!there.count(path.parent_path())) return FolderAttempt::kParentMissing;
    there.insert(path);
    return FolderAttempt::kMade;
  };
  std::filesystem::path failed;
  EXPECT_EQ(CreateFolderChain("/v/New", create, failed), FolderAttempt::kMade);
  EXPECT_EQ(asked, (std::vector<std::filesystem::path>{"/v/New"}));  // never "/v", nor "/"
  asked.clear();
  EXPECT_EQ(CreateFolderChain("/v/a/b/c", create, failed), FolderAttempt::kMade);
  EXPECT_EQ(asked, (std::vector<std::filesystem::path>{"/v/a/b/c", "/v/a/b", "/v/a", "/v/a/b",
                                                       "/v/a/b/c"}));
  EXPECT_TRUE(failed.empty());
  asked.clear();
  EXPECT_EQ(CreateFolderChain("/v/a", create, failed), FolderAttempt::kExists);
  EXPECT_EQ(asked.size(), 1u);
  // A missing volume: up to the top, which fails, and that folder is named.
  EXPECT_EQ(CreateFolderChain("/w/x", create, failed), FolderAttempt::kFailed);
  EXPECT_EQ(failed, "/");
  // A relative path whose first folder's parent is missing still ends.
  auto nowhere = [](const std::filesystem::path&) { return FolderAttempt::kParentMissing; };
  EXPECT_EQ(CreateFolderChain("a/b", nowhere, failed), FolderAttempt::kParentMissing);
  EXPECT_EQ(failed, "a");
}

// A volume's root cannot be created: Windows answers "D:\", "\\?\D:\" and a share's root with
// access denied, not "already exists" (Wine says "already exists"). A folder found under the name
// is there, whichever the refusal was; access denied on a name that is no folder stays a failure.
TEST(CreateFolderChain, AVolumeRootRefusedWithAccessDeniedIsAFolderThatIsThere) {
  for (FolderRefusal refusal : {FolderRefusal::kAlreadyExists, FolderRefusal::kAccessDenied}) {
    EXPECT_EQ(AttemptAfterRefusal(refusal, true), FolderAttempt::kExists);
    EXPECT_EQ(AttemptAfterRefusal(refusal, false), FolderAttempt::kFailed);
  }
  EXPECT_EQ(AttemptAfterRefusal(FolderRefusal::kParentMissing, false),
            FolderAttempt::kParentMissing);
  EXPECT_EQ(AttemptAfterRefusal(FolderRefusal::kOther, true), FolderAttempt::kFailed);
  // "extract -d D:\": the root is asked for, refused, found to be a folder, and used.
  std::vector<std::filesystem::path> asked;
  auto root = [&](const std::filesystem::path& path) {
    asked.push_back(path);
    return AttemptAfterRefusal(FolderRefusal::kAccessDenied, true);
  };
  std::filesystem::path failed;
  EXPECT_EQ(CreateFolderChain("/", root, failed), FolderAttempt::kExists);
  EXPECT_EQ(asked, (std::vector<std::filesystem::path>{"/"}));
  EXPECT_TRUE(failed.empty());
}

#include "launch/folder_trust.h"

bool MayExtractInto(FolderCreation creation, bool principalsKnown, FolderOwner owner,
                    bool runsAsSystem) {
  switch (creation) {
    case FolderCreation::kCreated:
      return !(runsAsSystem && owner == FolderOwner::kNotRecorded);
    case FolderCreation::kExists:
      // Without the principals nobody can be told apart, SYSTEM included.
      if (!principalsKnown) return false;
      if (owner == FolderOwner::kNotRecorded) return !runsAsSystem;
      return owner == FolderOwner::kTrusted;
    case FolderCreation::kFailed:
      break;
  }
  return false;
}

#include "launch/extraction_folder.h"

bool MayExtractInto(FolderCreation creation, bool principalsKnown, FolderOwner owner) {
  switch (creation) {
    case FolderCreation::kCreated:
      return true;
    case FolderCreation::kExists:
      return principalsKnown && owner == FolderOwner::kTrusted;
    case FolderCreation::kFailed:
      break;
  }
  return false;
}

bool TryRemovalAgain(int attemptsMade, RemovalOutcome outcome) {
  return outcome == RemovalOutcome::kSharingViolation && attemptsMade < kRemovalAttempts;
}

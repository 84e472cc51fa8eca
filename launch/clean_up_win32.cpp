#include "launch/clean_up_win32.h"

#include "launch/file_mark_win32.h"
#include "launch/held_step_win32.h"
#include "launch/kernel_function_win32.h"
#include "launch/win32_text.h"

using SetFileInformationByHandleProc = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                                     DWORD);

// The class of FILE_DISPOSITION_INFO_EX (Windows 10 1607 on), which the headers name only for
// programs built for Windows 10.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

// From Windows 10 1809 on NTFS the name goes at once, also while a scanner still holds the file
// with delete sharing. Elsewhere (older systems, FAT, shares) the read-only attribute is cleared
// through the handle and the file is marked, to go when its last holder lets go; only before
// Windows Vista is the file deleted by its name (docs/security.md tells why).
bool DeleteThroughHandle(HANDLE file, const WideString& path) {
  auto setInformation = reinterpret_cast<SetFileInformationByHandleProc>(
      KernelFunction("SetFileInformationByHandle"));
  if (!setInformation) {
    ClearAttributes(path);
    return DeleteFileW(AsWide(path));
  }
  FILE_DISPOSITION_INFO_EX disposition = {FILE_DISPOSITION_FLAG_DELETE |
                                          FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                                          FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE};
  if (setInformation(file, kFileDispositionInfoEx, &disposition, sizeof(disposition))) return true;
  FILE_BASIC_INFO basic = {};  // times of 0 are left as they are
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  setInformation(file, FileBasicInfo, &basic, sizeof(basic));
  FILE_DISPOSITION_INFO marked = {TRUE};
  return setInformation(file, FileDispositionInfo, &marked, sizeof(marked));
}

// The file is opened for deletion just after the holds end, which keeps out another start's write
// from the check to the deletion (the launcher writes sharing nothing). Anything but a holder that
// refuses the deletion ends it at once.
bool DeleteExtractedFile(const WideString& path, const HeldFileMark& kept, bool& heldSince,
                         HoldWait& wait) {
  bool marked = false;
  UntilNotHeld(wait, [&] {
    HANDLE file = CreateFileW(AsWide(path), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD error = GetLastError();
    bool deleted = false;
    if (file != INVALID_HANDLE_VALUE) {
      // Another start's file is not deleted; nothing refused that, so it is not tried again.
      error = ERROR_SUCCESS;
      if (IsFileTheRunHeld(kept, MarkOf(file), heldSince)) {
        deleted = DeleteThroughHandle(file, path);
        error = GetLastError();
        marked = marked || deleted;
      }
      CloseHandle(file);
    } else {
      heldSince = heldSince || OutcomeOfOpen(false, error) == StepOutcome::kHeld;
    }
    // A name the run has marked is a marked name, whatever its attributes say: Wine still reads
    // them until the last holder lets go.
    NameLeft name = NameLeftAt(path);
    if (marked && name == NameLeft::kReadable) name = NameLeft::kUnreadable;
    return OutcomeOfDeletion(deleted, error, name);
  });
  return marked;
}

// Whether a file the run marked for deletion still keeps its name.
static bool MarkedNameStays(bool marked, const WideString& path) {
  return marked && NameLeftAt(path) != NameLeft::kGone;
}

void RemoveFolder(const WideString& folder, const WideString& installerPath, bool installerMarked,
                  const WideString& packagePath, bool packageMarked, HoldWait& wait) {
  UntilNotHeld(wait, [&] {
    bool removed = RemoveDirectoryW(AsWide(folder));
    DWORD error = GetLastError();
    bool ownFileMarked = !removed && (MarkedNameStays(installerMarked, installerPath) ||
                                      MarkedNameStays(packageMarked, packagePath));
    return OutcomeOfRemoval(removed, error, ownFileMarked);
  });
}

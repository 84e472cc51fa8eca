#include "launch/clean_up_win32.h"

#include "launch/file_mark_win32.h"
#include "launch/held_step_win32.h"
#include "launch/join_path.h"
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
  HeldFileMark expected = kept;
  UntilNotHeld(wait, [&] {
    HANDLE file = CreateFileW(AsWide(path), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD error = GetLastError();
    bool deleted = false;
    DeletionPart part = DeletionPart::kOpen;
    if (file != INVALID_HANDLE_VALUE) {
      // Another start's file is not deleted; nothing refused that, so it is not tried again.
      error = ERROR_SUCCESS;
      if (IsFileTheRunHeld(expected, MarkOf(file), heldSince)) {
        deleted = DeleteThroughHandle(file, path);
        error = GetLastError();
        part = DeletionPart::kMark;
        marked = marked || deleted;
        // Clearing the attributes on the way moved the change time, so it tells no more: from now
        // on the file counts as the run's while nobody holds it, as where no change time is kept
        // (file_mark.h). A mapped file cannot be written over meanwhile.
        if (!deleted) expected.changed = 0;
      }
      CloseHandle(file);
    } else {
      heldSince = heldSince || OutcomeOfOpen(false, error) == StepOutcome::kHeld;
    }
    // A name the run has marked is a marked name, whatever its attributes say: Wine still reads
    // them until the last holder lets go.
    NameLeft name = NameLeftAt(path);
    if (marked && name == NameLeft::kReadable) name = NameLeft::kUnreadable;
    return OutcomeOfDeletion(deleted, error, name, part);
  });
  return marked;
}

// Whether a file the run marked for deletion keeps a name whose attributes still read (Wine reads
// them until the last holder lets go).
static int MarkedAndReadable(bool marked, const WideString& path) {
  return marked && NameLeftAt(path) == NameLeft::kReadable ? 1 : 0;
}

// Whether all that is left in the folder are names marked for deletion: the run's own marked
// files, and names whose attributes no longer read, such as a file the installer deleted while a
// scanner held it (FAT, shares, Windows before 1809 keep such names until the holder lets go).
static bool OnlyMarkedNamesLeft(const WideString& folder, const WideString& installerPath,
                                bool installerMarked, const WideString& packagePath,
                                bool packageMarked) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(AsWide(JoinPath(folder, WideString(u"*", 1))), &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  // "." and ".." are listed too, and read as the folder and the one above it.
  int readable = 0;
  do {
    const wchar_t* name = entry.cFileName;
    WideString path = JoinPath(folder, WideString(AsUnits(name), lstrlenW(name)));
    if (NameLeftAt(path) != NameLeft::kUnreadable) ++readable;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return readable == 2 + MarkedAndReadable(installerMarked, installerPath) +
                         MarkedAndReadable(packageMarked, packagePath);
}

void RemoveFolder(const WideString& folder, const WideString& installerPath, bool installerMarked,
                  const WideString& packagePath, bool packageMarked, HoldWait& wait) {
  UntilNotHeld(wait, [&] {
    bool removed = RemoveDirectoryW(AsWide(folder));
    DWORD error = GetLastError();
    bool onlyMarked =
        !removed && error == ERROR_DIR_NOT_EMPTY &&
        OnlyMarkedNamesLeft(folder, installerPath, installerMarked, packagePath, packageMarked);
    return OutcomeOfRemoval(removed, error, onlyMarked);
  });
}

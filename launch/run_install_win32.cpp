#include "launch/run_install_win32.h"

#include <windows.h>
// after windows.h, which it builds on
#include <shellapi.h>

#include "launch/extract_win32.h"
#include "launch/join_path.h"
#include "launch/locate_payload_win32.h"
#include "launch/messages.h"
#include "launch/payload_state.h"
#include "launch/show_error_win32.h"
#include "launch/win32_text.h"

static constexpr DWORD kLongPath = 32767;

static_assert(sizeof(SHELLEXECUTEINFOW) == 112, "the 64-bit layout of SHELLEXECUTEINFOW");

// Starts the installer with the shell's default action, the folder as working directory and no
// error dialogs of the shell's own. Returns false when the shell fails (message shown); `process`
// is null when the shell started it without giving a process handle.
static bool StartInstaller(const WideString& installerPath, const WideString& folder,
                           HANDLE& process) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpFile = AsWide(installerPath);
  info.lpDirectory = AsWide(folder);
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) {
    ShowError(kInstallerNotStarted);
    return false;
  }
  process = info.hProcess;
  return true;
}

// Removes the extraction folder once the installer is gone. The ended installer's hold on it as its
// working directory can outlive the moment its process handle is signalled (seen under Wine), so a
// sharing violation is retried for up to two seconds; a folder the installer left files in is not
// empty and stays at once.
static void RemoveFolder(const WideString& folder) {
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (RemoveDirectoryW(AsWide(folder)) || GetLastError() != ERROR_SHARING_VIOLATION) return;
    Sleep(50);
  }
}

// Everything after the payload is found; `source` stays open throughout and the caller closes it.
static void ExtractAndRun(HANDLE source, const WideString& tempPath) {
  WideString folder = JoinPath(tempPath, LoadedNames.folderName);
  CreateDirectoryW(AsWide(folder), nullptr);  // an existing folder is reused
  WideString installerPath = JoinPath(folder, LoadedNames.installerName);
  WideString packagePath = JoinPath(folder, LoadedNames.packageName);

  if (!ExtractEmbeddedFile(source, LoadedAnchor.installerOffset, LoadedAnchor.installerSize,
                           LoadedAnchor.installerTime, installerPath)) {
    return;
  }
  if (!ExtractEmbeddedFile(source, LoadedAnchor.packageOffset, LoadedAnchor.packageSize,
                           LoadedAnchor.packageTime, packagePath)) {
    return;
  }

  HANDLE process = nullptr;
  if (!StartInstaller(installerPath, folder, process) || !process) return;
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
  DeleteFileW(AsWide(installerPath));
  DeleteFileW(AsWide(packagePath));
  RemoveFolder(folder);
}

void RunInstall() {
  // The two path buffers and the tail buffer live in this frame, on the worker's stack.
  wchar_t ownPathBuffer[kLongPath + 1];
  wchar_t tempPathBuffer[kLongPath + 1];
  uint8_t tail[kTailWindowSize];

  DWORD ownLength = GetModuleFileNameW(nullptr, ownPathBuffer, kLongPath);
  if (ownLength == 0) {
    ShowError(kOwnPathUnavailable);
    return;
  }
  // A result larger than the buffer means nothing was written into it: no usable path either.
  DWORD tempLength = GetTempPathW(kLongPath, tempPathBuffer);
  if (tempLength == 0 || tempLength > kLongPath) {
    ShowError(kTempPathUnavailable);
    return;
  }
  WideString ownPath(AsUnits(ownPathBuffer), ownLength);
  WideString tempPath(AsUnits(tempPathBuffer), tempLength);

  HANDLE source = LocatePayload(ownPath, tail);
  if (source == INVALID_HANDLE_VALUE) return;
  ExtractAndRun(source, tempPath);
  CloseHandle(source);
}

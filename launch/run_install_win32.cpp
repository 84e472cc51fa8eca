#include "launch/run_install_win32.h"

#include <windows.h>
// after windows.h, which it builds on
#include <shellapi.h>

#include "launch/clean_up_win32.h"
#include "launch/command_line.h"
#include "launch/exit_codes_win32.h"
#include "launch/extract_win32.h"
#include "launch/file_mark_win32.h"
#include "launch/held_step_win32.h"
#include "launch/join_path.h"
#include "launch/locate_payload_win32.h"
#include "launch/messages.h"
#include "launch/payload_state.h"
#include "launch/show_error_win32.h"
#include "launch/temp_folder_win32.h"
#include "launch/win32_text.h"

static_assert(sizeof(SHELLEXECUTEINFOW) == 112, "the 64-bit layout of SHELLEXECUTEINFOW");

// The extraction folder and the extracted files from the moment they are made until the installer
// has ended. The folder is held open without delete sharing, so it cannot be renamed or replaced
// under the files (closed just before it is removed). Each file is held open for reading with
// sharing limited to reading from the moment it is written, so nobody can replace or alter it
// while the installer starts and runs, yet the installer can still run itself and read the
// package.
struct ExtractedFiles {
  HANDLE folder = INVALID_HANDLE_VALUE;
  HANDLE installer = INVALID_HANDLE_VALUE;
  HANDLE package = INVALID_HANDLE_VALUE;
};

static void Close(HANDLE& handle) {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

static void Release(ExtractedFiles& files) {
  Close(files.installer);
  Close(files.package);
  Close(files.folder);
}

// Holds the file just written at `path`. A scanner that opened the new file without sharing it is
// waited for as long as the run's wait allows. When the hold still fails, someone else keeps the
// file open or it is gone, and what the installer would meet can no longer be vouched for: the run
// stops with the creation message for that path, as when the file could not be written at all.
static uint32_t HoldForReading(const WideString& path, HANDLE& held, HoldWait& wait) {
  held = OpenWhenNotHeld(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, wait);
  if (held != INVALID_HANDLE_VALUE) return kStepSucceeded;
  return ShowError(CreationMessage(path));
}

// What the launcher was started with after its own name, for the installer: the silent switches
// of a deployment reach the installer as they were typed. Null when there are none.
static LPCWSTR InstallerParameters() {
  return AsWide(ArgumentsAfterProgramName(AsUnits(GetCommandLineW())));
}

// Starts the installer with the shell's default action, the launcher's own arguments, the folder
// as working directory and no error dialogs of the shell's own. A start refused because another
// program holds the installer is tried again as long as the run's wait allows. Returns the exit
// code after the message shown when the shell fails (ERROR_CANCELLED for a declined elevation
// prompt); `process` is null when the shell started it without giving a process handle.
static uint32_t StartInstaller(const WideString& installerPath, const WideString& folder,
                               HANDLE& process, HoldWait& wait) {
  // Arguments too long for the installer's command line would reach it cut short on some systems;
  // the start is refused on all of them.
  LPCWSTR parameters = InstallerParameters();
  if (!CommandLineFits(installerPath.Length(), AsUnits(parameters))) {
    return ShowError(kInstallerNotStarted);
  }
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpFile = AsWide(installerPath);
  info.lpParameters = parameters;
  info.lpDirectory = AsWide(folder);
  info.nShow = SW_SHOW;
  DWORD error = ERROR_SUCCESS;
  StepOutcome outcome = UntilNotHeld(wait, [&] {
    bool started = ShellExecuteExW(&info);
    error = started ? ERROR_SUCCESS : GetLastError();
    return OutcomeOfOpen(started, error);
  });
  if (outcome != StepOutcome::kDone) {
    ShowError(kInstallerNotStarted);
    return StartFailureExitCode(error);
  }
  process = info.hProcess;
  return kStepSucceeded;
}

// A run that stops once its box is closed keeps whatever it wrote into the folder, but not the
// folder alone. A second start of the same file, refused while the first one's installer runs,
// holds the folder until its box is closed; when that is after the installer ended, the first
// run could not remove the folder, and the emptied folder goes now.
static uint32_t StopAfterFolder(ExtractedFiles& files, const WideString& folder, uint32_t failure) {
  Release(files);
  RemoveDirectoryW(AsWide(folder));  // fails, changing nothing, unless the folder is empty
  return failure;
}

// The installer's exit code once it has ended.
static uint32_t WaitForInstaller(HANDLE process) {
  WaitForSingleObject(process, INFINITE);
  DWORD exitCode;
  if (!GetExitCodeProcess(process, &exitCode)) exitCode = kExitInstallerCodeUnknown;
  CloseHandle(process);
  return exitCode;
}

// Writes both files, runs the installer and cleans up; `files` holds what was written. Returns the
// installer's exit code, or that of the message shown.
static uint32_t ExtractAndRun(HANDLE source, const WideString& tempPath, ExtractedFiles& files) {
  // For other programs' holds on the files, shared by every step of the run.
  HoldWait wait = {&kSystemClock};
  WideString folder = JoinPath(tempPath, LoadedNames.folderName);
  WideString installerPath = JoinPath(folder, LoadedNames.installerName);
  WideString packagePath = JoinPath(folder, LoadedNames.packageName);
  files.folder = PrepareExtractionFolder(folder, wait);
  if (files.folder == INVALID_HANDLE_VALUE) return ShowError(CreationMessage(installerPath));

  // Each file is held as soon as it is written.
  uint32_t failure =
      ExtractEmbeddedFile(source, LoadedAnchor.installerOffset, LoadedAnchor.installerSize,
                          LoadedAnchor.installerTime, installerPath, wait);
  if (failure == kStepSucceeded) failure = HoldForReading(installerPath, files.installer, wait);
  if (failure == kStepSucceeded) {
    failure = ExtractEmbeddedFile(source, LoadedAnchor.packageOffset, LoadedAnchor.packageSize,
                                  LoadedAnchor.packageTime, packagePath, wait);
  }
  if (failure == kStepSucceeded) failure = HoldForReading(packagePath, files.package, wait);
  if (failure != kStepSucceeded) return StopAfterFolder(files, folder, failure);

  HANDLE process = nullptr;
  failure = StartInstaller(installerPath, folder, process, wait);
  if (failure != kStepSucceeded) return StopAfterFolder(files, folder, failure);
  if (!process) return kExitStartedWithoutProcess;
  uint32_t exitCode = WaitForInstaller(process);
  HeldFileMark installerMark = MarkOf(files.installer);
  HeldFileMark packageMark = MarkOf(files.package);
  Close(files.installer);
  Close(files.package);
  bool heldSince = false;
  bool installerMarked = DeleteExtractedFile(installerPath, installerMark, heldSince, wait);
  bool packageMarked = DeleteExtractedFile(packagePath, packageMark, heldSince, wait);
  Close(files.folder);
  RemoveFolder(folder, installerPath, installerMarked, packagePath, packageMarked, wait);
  return exitCode;
}

uint32_t RunInstall() {
  // The two path buffers and the tail buffer live in this frame, on the worker's stack.
  wchar_t ownPathBuffer[kLongPathBuffer];
  wchar_t tempPathBuffer[kLongPathBuffer];
  uint8_t tail[kTailWindowSize];

  // A path that fills the buffer goes on and fails when the file is opened.
  DWORD ownLength = GetModuleFileNameW(nullptr, ownPathBuffer, kLongPathBuffer - 1);
  if (ownLength == 0) return ShowError(kOwnPathUnavailable);
  WideString ownPath(AsUnits(ownPathBuffer), ownLength);
  WideString tempPath;
  if (!TemporaryFolder(tempPathBuffer, tempPath)) return ShowError(kTempPathUnavailable);

  uint32_t failure = kStepSucceeded;
  HANDLE source = LocatePayload(ownPath, tail, failure);
  if (source == INVALID_HANDLE_VALUE) return failure;
  ExtractedFiles files;
  uint32_t exitCode = ExtractAndRun(source, tempPath, files);
  Release(files);
  CloseHandle(source);
  return exitCode;
}

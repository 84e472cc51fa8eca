// One started launcher: its process, its environment, and what it showed while it ran. Every
// wait has a time limit; a launcher still running when the object goes is terminated, so a hung
// launcher fails its test instead of blocking the suite.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/message_box_watcher.h"

// Variables set in (or replacing those of) the driver's own environment for the child.
using EnvironmentChanges = std::vector<std::pair<std::wstring, std::wstring>>;

// The driver's environment with `changes` applied, as a block for CreateProcessW: sorted by name
// without regard to case, each entry ended by a zero, the block by another.
std::wstring BuildEnvironmentBlock(const EnvironmentChanges& changes);

class LauncherProcess {
 public:
  enum class Wait { kSignalled, kExited, kTimedOut };

  LauncherProcess() = default;
  ~LauncherProcess();
  LauncherProcess(const LauncherProcess&) = delete;
  LauncherProcess& operator=(const LauncherProcess&) = delete;

  // Starts the launcher file at `path`, by default with no arguments and on the driver's own
  // desktop. `whileSuspended` runs after the process was created and before its first
  // instruction.
  bool Start(const std::wstring& path, const std::wstring& workingDirectory,
             const EnvironmentChanges& environment,
             const std::function<void()>& whileSuspended = nullptr);
  // The whole command line of the next start, program name included; empty: the path in quotes.
  void SetCommandLine(const std::wstring& commandLine) { commandLine_ = commandLine; }
  // The desktop the next start runs on, as "station\desktop"; empty: the driver's own.
  void SetDesktop(const std::wstring& desktop) { desktop_ = desktop; }

  // Watches until `event` is set, the launcher exits or `limitMs` has passed, recording and
  // closing message boxes all the while. `event` may be NULL.
  Wait WatchUntil(HANDLE event, DWORD limitMs);
  // True when the launcher exited within `limitMs`.
  bool WatchUntilExit(DWORD limitMs) { return WatchUntil(nullptr, limitMs) == Wait::kExited; }

  DWORD Id() const { return process_.dwProcessId; }
  HANDLE Handle() const { return process_.hProcess; }
  bool HasExited() const;
  DWORD ExitCode() const;

  const std::vector<SeenMessageBox>& Boxes() const { return watcher_.Boxes(); }
  // Whether any of its top-level windows other than a message box was ever seen visible.
  bool VisibleWindowSeen() const { return visibleWindowSeen_; }

 private:
  void Observe();

  std::wstring commandLine_;
  std::wstring desktop_;
  PROCESS_INFORMATION process_ = {};
  MessageBoxWatcher watcher_{0};
  bool visibleWindowSeen_ = false;
};

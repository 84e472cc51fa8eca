// The frame of every end-to-end case: a fresh folder of its own with a temporary folder inside,
// the fake installer's settings, and launcher runs with time limits.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/installer_report.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/virtual_disk.h"
#include "tests/support/installer_gate.h"
#include "tests/support/launcher_builder.h"
#include "tests/support/launcher_process.h"
#include "tests/support/sample_files.h"

// No launcher run of these tests takes more than a few seconds; one that is still running after
// this long is hung.
constexpr DWORD kRunLimitMs = 30000;

// The folder that holds every case's folder; emptied before the suite runs.
void SetWorkRoot(const std::wstring& folder);
const std::wstring& WorkRoot();

struct RunOutcome {
  bool ended = false;  // within the time limit
  DWORD exitCode = STILL_ACTIVE;
  std::vector<SeenMessageBox> boxes;
  bool visibleWindowSeen = false;
};

class LauncherCase : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The sample launcher file's contents (SampleContents) around the built launcher and the fake
  // installer, with a package of `packageSize` bytes.
  LauncherContents UsualContents(size_t packageSize = kSamplePackageSize) const;

  // Writes a launcher file into the case folder and returns its path.
  std::wstring SaveLauncherFile(const std::vector<uint8_t>& bytes,
                                const std::wstring& name = L"launcher.exe");

  // Makes a folder of that name inside the case folder the temporary folder of later runs.
  void UseTempFolder(const std::wstring& name);
  // Makes a folder on a new 16 MB virtual disk (`disk`, named after `name`) the temporary folder of
  // later runs, for a case that fills the disk up by Windows means.
  void UseTempFolderOnVirtualDisk(const std::wstring& name, std::unique_ptr<VirtualDisk>& disk);
  // The temporary folder as the platform reports it, with its closing backslash.
  std::wstring TempPath() const { return tempFolder_ + L"\\"; }
  // The folder the launcher extracts into for these contents.
  std::wstring ExtractionFolder(const LauncherContents& contents) const;

  // Starts the launcher file with the case's temporary folder, command line and desktop and the
  // fake installer's settings.
  bool Start(LauncherProcess& launcher, const std::wstring& path,
             const std::function<void()>& whileSuspended = nullptr);
  // Starts it and watches it to its end, pressing OK on every box.
  RunOutcome Run(const std::wstring& path, const std::function<void()>& whileSuspended = nullptr);
  // Starts the launcher file with its installer held, and waits until the installer has recorded
  // what it saw. On failure it says why (not started, ended with its code, still running).
  bool StartHeld(LauncherProcess& launcher, const std::wstring& path);

  std::vector<InstallerStart> InstallerStarts() const { return ReadInstallerReport(reportPath_); }

  // The run ended with the installer's exit code and no box; the installer was started once, in
  // the extraction folder, and found both files there exactly as packed; afterwards the folder is
  // gone.
  void ExpectCleanInstall(const RunOutcome& run, const LauncherContents& contents) const;

  // The text of the box for a file that cannot be created: the sentence, a blank line, the path.
  static std::wstring CreationText(const std::wstring& path);

  // Runs the launcher file and expects it to show exactly `box` and then to exit with the exit
  // code of the message the box shows, without having started the installer. Where no box shows
  // by design (machine.h) it expects the run to end with that code and no box, and the case is
  // skipped for its box; what the case checks after this still holds and is checked.
  void ExpectOnlyBox(const std::wstring& launcher, const SeenMessageBox& box,
                     const std::function<void()>& whileSuspended = nullptr);

  std::wstring caseFolder_;
  std::wstring tempFolder_;
  std::wstring reportPath_;

  // How the launcher is started: the whole command line (empty: its path in quotes, no
  // arguments) and the desktop, as "station\desktop" (empty: the driver's own).
  std::wstring commandLine_;
  std::wstring desktop_;

  // What the fake installer is told to do.
  DWORD installerExitCode_ = 0;
  std::wstring installerLeavesFile_;     // empty: leaves nothing
  bool installerLeavesFolder_ = false;   // as its working directory, once it has recorded it
  std::wstring installerMakesReadOnly_;  // a file beside it, just before it exits; empty: none
  bool holdInstaller_ = false;
  InstallerGate gate_;
};

// Declares `choice`, the way this machine makes `arrangement` (ChooseWay: by Windows means or by
// Linux commands from inside Wine), and skips the case with the reason where neither can.
#define CHOOSE_WAY_OR_SKIP(choice, arrangement)              \
  const Choice choice = ChooseWay((arrangement), Machine()); \
  if (choice.way == Way::kNone) GTEST_SKIP() << choice.reason

// Skips a case that looks at the launcher's error box itself where no box shows by design.
#define SKIP_UNLESS_BOXES_SHOW()                                                \
  if (std::string noBoxReason = BoxSkipReason(Machine()); !noBoxReason.empty()) \
  GTEST_SKIP() << noBoxReason

RunOutcome OutcomeOf(LauncherProcess& launcher, bool ended);

// The two files the launcher writes, in the order it writes them: the parameter of the cases that
// fail the same way at either file.
enum class PayloadFile { kInstaller, kPackage };
// "setup.exe" or "Corvalinth.msi", as UsualContents names them.
std::wstring FileName(PayloadFile file);
// "Installer" or "Package", for the cases' names.
std::string PayloadFileLabel(const testing::TestParamInfo<PayloadFile>& info);

// A case run once for each file.
class EachPayloadFile : public LauncherCase, public testing::WithParamInterface<PayloadFile> {
 protected:
  // The folder holds what the launcher wrote before it stopped at the parameter's file: that
  // file's entry, and for the package the installer whole, with its time.
  void ExpectWrittenUpTo(const std::wstring& folder, const LauncherContents& contents) const;
};

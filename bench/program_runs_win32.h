// Starting a program under the bench and measuring it: when the installer it starts is entered,
// when it exits, and how much memory it holds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// What one timed run of a program gave.
struct TimedRun {
  bool installerStarted = false;  // the bench installer wrote its stamp
  bool exited = false;            // the program ended within the time limit
  double toInstallerMs = 0;       // from just before CreateProcessW to the installer's entry
  // From just before CreateProcessW to the creation of the installer's process, as the system
  // records it: the launcher's own road, without the installer's loading. -1 when unknown.
  double toInstallerCreatedMs = -1;
  double toExitMs = 0;            // from just before CreateProcessW to the program's end
  DWORD exitCode = STILL_ACTIVE;  // the program's, once it has ended
  long long packageBytes = -1;    // the package size the installer found beside itself
  bool folderRemoved = false;     // the extraction folder is gone after the run
  std::wstring failure;           // the text of an error box, when one was shown
  std::string ownReport;  // the JSON figure a program that times itself wrote to the stamp file
};

// Starts `command` (a program's Windows path, then its arguments) with `tempFolder` as its
// temporary folder and waits for its end. With `hold` the bench installer holds it once it runs
// until the driver has seen that; without, the installer ends at once.
TimedRun TimeRun(const std::vector<std::wstring>& command, const std::wstring& tempFolder,
                 bool hold);

// The memory of a held program, as Wine reports it for another process.
struct HeldMemory {
  bool held = false;  // the program said it was ready, and ended within the limit once let go
  uint64_t privatePeakSampled = 0;  // the highest private (anonymous) bytes over all samples
};

// UTF-8 for printing and for comparing with what Linux reports.
std::string Utf8(const std::wstring& text);

// Starts `path` (the launcher file or the bare window) with `tempFolder` as its temporary folder,
// samples its memory about every millisecond until it, or the bench installer it starts, reports
// ready, then lets it go and waits for its end.
HeldMemory MeasureHeldProgram(const std::wstring& path, const std::wstring& tempFolder);

// Starting a program under the bench and measuring it: when the installer it starts is entered,
// when it exits, and how much memory it holds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What one timed start of a launcher file gave.
struct TimedRun {
  bool installerStarted = false;  // the bench installer wrote its stamp
  bool exited = false;            // the launcher ended within the time limit
  double toInstallerMs = 0;       // from just before CreateProcessW to the installer's entry
  // From just before CreateProcessW to the creation of the installer's process, as the system
  // records it: the launcher's own road, without the installer's loading. -1 when unknown.
  double toInstallerCreatedMs = -1;
  double toExitMs = 0;            // from just before CreateProcessW to the launcher's end
  double toCreatedMs = -1;        // the same to the creation of the launcher's own process
  DWORD exitCode = STILL_ACTIVE;  // the launcher's, once it has ended
  long long packageBytes = -1;    // the package size the installer found beside itself
  double processorMs = -1;        // the launcher's processor time up to the installer's start
  bool folderRemoved = false;     // the extraction folder is gone after the run
  std::wstring failure;           // the text of an error box, when one was shown
  // The steps a marked program recorded (launch/step_marks.h), in the order taken, each in ms
  // from just before CreateProcessW. None from the shipped launcher.
  std::vector<std::pair<std::string, double>> marks;
};

// Starts the launcher file at `path` (or the bare starter, with the installer's path as
// `argument`) with `tempFolder` as its temporary folder and waits for it. The bench installer
// holds the launcher for a moment once it runs, while the driver reads the launcher's processor
// time.
TimedRun TimeLauncher(const std::wstring& path, const std::wstring& tempFolder,
                      const std::wstring& argument = std::wstring());

// The same with nobody holding the program: the bench installer ends at once, and `toExitMs` is
// the whole run, the clean-up after the installer included. No processor time is read.
TimedRun TimeWholeRun(const std::wstring& path, const std::wstring& tempFolder);

// Starts the program at `path` with nobody holding it and waits for its end: `toExitMs` is the
// time from just before CreateProcessW until its process is signalled. False when it could not
// be started or did not end within the time limit (it is then ended).
bool TimeStartToExit(const std::wstring& path, double& toExitMs);

// The memory of a held program, as Wine reports it for another process.
struct HeldMemory {
  bool held = false;                // the program said it was ready before it ended
  uint64_t peakWorkingSet = 0;      // peak resident set when it was held: a peak the kernel keeps
  uint64_t privateAtHold = 0;       // private (anonymous) bytes when it was held
  uint64_t privatePeakSampled = 0;  // the highest private figure over all samples
  unsigned samples = 0;
  bool exited = false;  // it ended within the time limit once let go
  DWORD exitCode = STILL_ACTIVE;
  // Where the private bytes were when it was held: the anonymous bytes of each mapping of the
  // Linux process that runs it, summed by the file behind the mapping (none for Windows heaps,
  // stacks and buffers), read from /proc through Wine's Z: drive.
  std::vector<std::pair<std::string, uint64_t>> privateByMapping;
};

// UTF-8 for printing and for comparing with what Linux reports.
std::string Utf8(const std::wstring& text);

// Starts `path` (the launcher file or the bare window) with `tempFolder` as its temporary folder,
// samples its memory about every millisecond until it, or the bench installer it starts, reports
// ready, reads its memory once more, then lets it go and waits for its end.
HeldMemory MeasureHeldProgram(const std::wstring& path, const std::wstring& tempFolder);

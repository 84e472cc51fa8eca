// Reading what the fake installer recorded, one entry per start.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

// A file as the installer saw it beside itself.
struct SeenFile {
  std::wstring name;
  uint64_t size = 0;
  uint64_t hash = 0;
  uint64_t lastWriteTime = 0;  // FILETIME
};

bool operator==(const SeenFile& a, const SeenFile& b);
void PrintTo(const SeenFile& file, std::ostream* out);

// What the file named `name` is expected to look like: these bytes and this last-write time.
SeenFile ExpectedFile(const std::wstring& name, const std::vector<uint8_t>& bytes,
                      uint64_t lastWriteTime);

struct InstallerStart {
  DWORD processId = 0;
  // The fake installer's handle to itself in this program (kWaiterProcessVariable), owned by
  // whoever asked for it; NULL when it gave none.
  HANDLE waitHandle = nullptr;
  std::wstring workingDirectory;
  std::wstring modulePath;
  std::wstring commandLine;
  int showWindow = -1;
  std::vector<SeenFile> files;  // sorted by name
  bool complete = false;        // the block's closing line was there
  // Only from an installer that reports them (the NSIS-built one): whether it ran silently
  // (-1: not reported) and the size of each file beside it, by name.
  int silent = -1;
  std::map<std::wstring, uint64_t> fileSizes;
};

// Every start recorded in the report, in order; none when there is no report.
std::vector<InstallerStart> ReadInstallerReport(const std::wstring& path);

// The arguments of a command line as the platform splits it, program name first.
std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine);

// `files` in the order the report gives them: sorted by name.
std::vector<SeenFile> SortedByName(std::vector<SeenFile> files);

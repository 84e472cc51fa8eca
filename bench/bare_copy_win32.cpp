// The platform's ceiling for the launcher's extraction: a bare Windows program that copies files
// with ReadFile and WriteFile in pieces (1 MiB unless told otherwise) on its main thread, into new
// files, nothing else. It times the copies itself, so Wine's process start is not part of the
// figure, prints one JSON line for bench/run (bench_protocol.h) and deletes the copies.
//
//   bare-copy <piece bytes> <source> <target> [<source> <target>]...
//
// Paths may be Linux paths; they are reached through Wine's Z: drive.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_protocol.h"
#include "bench/file_time_win32.h"
#include "bench/piece_copy_win32.h"

static std::wstring WindowsPath(std::wstring path) {
  if (path.empty() || path[0] != L'/') return path;
  for (wchar_t& unit : path) {
    if (unit == L'/') unit = L'\\';
  }
  return L"Z:" + path;
}

static double ProcessorMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
  return static_cast<double>(FileTimeValue(kernel) + FileTimeValue(user)) / 10000.0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr,
                 "usage: bare-copy <piece bytes> <source> <target> [<source> <target>]...\n");
    return 2;
  }
  DWORD pieceSize = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
  void* buffer = pieceSize
                     ? VirtualAlloc(nullptr, pieceSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                     : nullptr;
  if (!buffer) return 1;
  std::vector<std::wstring> targets;
  bool copied = true;
  LARGE_INTEGER frequency, started, ended;
  QueryPerformanceFrequency(&frequency);
  double processorBefore = ProcessorMs();
  QueryPerformanceCounter(&started);
  for (int i = 2; copied && i + 1 < argc; i += 2) {
    targets.push_back(WindowsPath(argv[i + 1]));
    copied = CopyFileInPieces(WindowsPath(argv[i]), targets.back(), pieceSize, buffer);
  }
  QueryPerformanceCounter(&ended);
  double processor = ProcessorMs() - processorBefore;
  for (const std::wstring& target : targets) DeleteFileW(target.c_str());
  JsonLine("copy")
      .Bool("ok", copied)
      .Number("ms", 1000.0 * static_cast<double>(ended.QuadPart - started.QuadPart) /
                        static_cast<double>(frequency.QuadPart))
      .Number("processor_ms", processor, 0)
      .Print();
  return copied ? 0 : 1;
}

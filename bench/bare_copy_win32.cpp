// The platform's ceiling for the launcher's extraction: a bare Windows program that copies files
// with ReadFile and WriteFile in pieces (1 MiB unless told otherwise) on its main thread, into new
// files, nothing else. It times the copies itself, so Wine's process start is not part of the
// figure, prints one JSON line for bench/run (bench_protocol.h), or writes it to the stamp file
// when the driver names one (it is then one side of its pairs), and deletes the copies.
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
#include "tests/support/wine_path.h"

// Copies `source` into a new file `target` with ReadFile and WriteFile in pieces of `pieceSize`
// bytes through `buffer`, whole pieces read and written until the source is used up: the
// launcher's way of copying a file, without the launcher.
static bool CopyFileInPieces(const std::wstring& source, const std::wstring& target,
                             DWORD pieceSize, void* buffer) {
  HANDLE in = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  bool good = out != INVALID_HANDLE_VALUE;
  while (good) {
    DWORD got = 0;
    DWORD put = 0;
    good = ReadFile(in, buffer, pieceSize, &got, nullptr) != 0;
    if (!good || got == 0) break;
    good = WriteFile(out, buffer, got, &put, nullptr) && put == got;
  }
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  CloseHandle(in);
  return good;
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
  QueryPerformanceCounter(&started);
  for (int i = 2; copied && i + 1 < argc; i += 2) {
    targets.push_back(WindowsPathOf(argv[i + 1]));
    copied = CopyFileInPieces(WindowsPathOf(argv[i]), targets.back(), pieceSize, buffer);
  }
  QueryPerformanceCounter(&ended);
  for (const std::wstring& target : targets) DeleteFileW(target.c_str());
  JsonLine line("copy");
  line.Bool("ok", copied)
      .Number("ms", 1000.0 * static_cast<double>(ended.QuadPart - started.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
  wchar_t stampPath[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(kStampPathVariable, stampPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    line.Print();
    return copied ? 0 : 1;
  }
  std::string text = line.Line();
  HANDLE stamp = CreateFileW(stampPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  bool stamped =
      stamp != INVALID_HANDLE_VALUE &&
      WriteFile(stamp, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  if (stamp != INVALID_HANDLE_VALUE) CloseHandle(stamp);
  return copied && stamped ? 0 : 1;
}

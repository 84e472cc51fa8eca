// The installer program the bench's launcher files carry. It notes the moment its process was
// created, the moment it was entered and the size of the package the launcher wrote beside it,
// can hold the launcher waiting while the driver reads the launcher's memory, and exits at once
// otherwise, with 0.
#include <windows.h>

#include <charconv>

#include "bench/bench_protocol.h"
#include "bench/file_time_win32.h"

static bool Variable(const wchar_t* name, wchar_t (&value)[MAX_PATH]) {
  DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  return length != 0 && length < MAX_PATH;
}

// The size of the file `name` in the installer's own folder; -1 when it cannot be found.
static long long SizeOfFileBeside(const wchar_t* name) {
  static wchar_t path[32768];
  DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  while (length > 0 && path[length - 1] != L'\\') --length;
  if (length == 0 || length + lstrlenW(name) >= 32768) return -1;
  lstrcpyW(path + length, name);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// When the system created this process: the moment whoever started it had it started, before
// any of its own loading. A FILETIME, in 100 ns units; 0 when it cannot be read.
static long long CreationTime() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return FileTimeValue(created);
}

static void WriteStamp(const wchar_t* stampPath, long long entered, long long packageSize) {
  char text[96];
  char* end = text;
  for (long long value : {entered, packageSize, CreationTime()}) {
    end = std::to_chars(end, text + sizeof text - 1, value).ptr;
    *end++ = ' ';
  }
  end[-1] = '\n';
  HANDLE file = CreateFileW(stampPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(end - text), &written, nullptr);
  CloseHandle(file);
}

// Tells the driver the install is running and keeps the launcher waiting until it lets go.
static void HoldIfAsked() {
  wchar_t readyName[MAX_PATH];
  wchar_t releaseName[MAX_PATH];
  if (!Variable(kStartedEventVariable, readyName) ||
      !Variable(kReleaseEventVariable, releaseName)) {
    return;
  }
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, releaseName);
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, readyName);
  if (ready) {
    SetEvent(ready);
    CloseHandle(ready);
  }
  if (release) {
    WaitForSingleObject(release, kReleaseWaitLimitMs);
    CloseHandle(release);
  }
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  LARGE_INTEGER entered;
  QueryPerformanceCounter(&entered);
  wchar_t stampPath[MAX_PATH];
  wchar_t packageName[MAX_PATH];
  if (Variable(kStampPathVariable, stampPath)) {
    long long packageSize =
        Variable(kPackageNameVariable, packageName) ? SizeOfFileBeside(packageName) : -1;
    WriteStamp(stampPath, entered.QuadPart, packageSize);
  }
  HoldIfAsked();
  return 0;
}

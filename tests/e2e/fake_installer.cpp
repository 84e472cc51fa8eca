// A stand-in for the installer program a launcher file carries. The launcher starts it through the
// shell, with the launcher's own arguments, in the extraction folder; it writes down what it found
// there (its command line included), can hold the install open until the test lets it go, can
// leave a file behind, can make a file beside it read-only as it ends, and exits with the code the
// test asked for. Everything is steered through the environment the launcher passes on.
#include <windows.h>

#include <cstdint>
#include <string>

#include "tests/support/installer_protocol.h"

static std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t buffer[32768];
  DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
  if (length == 0 || length >= 32768) return std::wstring();
  return std::wstring(buffer, length);
}

static std::wstring OwnModulePath() {
  wchar_t buffer[32768];
  DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  return std::wstring(buffer, length < 32768 ? length : 0);
}

static std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

static std::wstring Decimal(uint64_t value) { return std::to_wstring(value); }

static std::wstring Hex16(uint64_t value) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring text(16, L'0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = digits[value & 0xF];
  return text;
}

// Hashes the file's whole contents; the hash of an unreadable file is that of no bytes, which no
// test expects of a file it wrote.
static uint64_t HashOfFile(const std::wstring& path) {
  uint64_t hash = kContentHashStart;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return hash;
  static uint8_t buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read != 0) {
    hash = ContinueContentHash(hash, buffer, read);
  }
  CloseHandle(file);
  return hash;
}

static void AddLine(std::wstring& block, const wchar_t* tag, const std::wstring& value) {
  block += tag;
  block += L'\t';
  block += value;
  block += L'\n';
}

static std::wstring DescribeFilesIn(const std::wstring& folder) {
  std::wstring lines;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return lines;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    uint64_t size = (uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
    uint64_t lastWrite = (uint64_t{entry.ftLastWriteTime.dwHighDateTime} << 32) |
                         entry.ftLastWriteTime.dwLowDateTime;
    lines += kFileTag;
    lines += L'\t';
    lines += entry.cFileName;
    lines += L'\t' + Decimal(size) + L'\t' + Hex16(HashOfFile(folder + L"\\" + entry.cFileName)) +
             L'\t' + Decimal(lastWrite) + L'\n';
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return lines;
}

// A handle to this process in the process `waiter` names, which it then owns; NULL when there
// is none to give.
static HANDLE GiveHandleTo(const std::wstring& waiter) {
  DWORD waiterId = wcstoul(waiter.c_str(), nullptr, 10);
  if (waiterId == 0) return nullptr;
  HANDLE target = OpenProcess(PROCESS_DUP_HANDLE, FALSE, waiterId);
  if (!target) return nullptr;
  HANDLE given = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), target, &given, SYNCHRONIZE, FALSE,
                       0)) {
    given = nullptr;
  }
  CloseHandle(target);
  return given;
}

static std::wstring DescribeStart() {
  std::wstring block;
  AddLine(block, kStartTag, Decimal(GetCurrentProcessId()));
  HANDLE given = GiveHandleTo(EnvironmentValue(kWaiterProcessVariable));
  if (given) AddLine(block, kWaitHandleTag, Hex16(reinterpret_cast<uintptr_t>(given)));

  wchar_t directory[32768];
  DWORD length = GetCurrentDirectoryW(32768, directory);
  AddLine(block, kWorkingDirectoryTag, std::wstring(directory, length < 32768 ? length : 0));

  std::wstring module = OwnModulePath();
  AddLine(block, kModuleTag, module);
  AddLine(block, kCommandLineTag, GetCommandLineW());

  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  AddLine(block, kShowTag, std::to_wstring(show));

  block += DescribeFilesIn(FolderOf(module));
  block += kEndTag;
  block += L'\n';
  return block;
}

// One write per start, appended, so two starts never mix their lines.
static void AppendToReport(const std::wstring& reportPath, const std::wstring& block) {
  HANDLE report =
      CreateFileW(reportPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (report == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(report, block.data(), static_cast<DWORD>(block.size() * sizeof(wchar_t)), &written,
            nullptr);
  CloseHandle(report);
}

static void LeaveFile(const std::wstring& name) {
  std::wstring path = FolderOf(OwnModulePath()) + L"\\" + name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, kLeftFileContents, sizeof kLeftFileContents - 1, &written, nullptr);
  CloseHandle(file);
}

// Tells the test the install is running, then holds it until the test releases it.
static void HoldUntilReleased(const std::wstring& startedName, const std::wstring& releaseName) {
  HANDLE release =
      releaseName.empty() ? nullptr : OpenEventW(SYNCHRONIZE, FALSE, releaseName.c_str());
  if (!startedName.empty()) {
    HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, startedName.c_str());
    if (started) {
      SetEvent(started);
      CloseHandle(started);
    }
  }
  if (release) {
    WaitForSingleObject(release, kReleaseWaitLimitMs);
    CloseHandle(release);
  }
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring reportPath = EnvironmentValue(kReportPathVariable);
  if (!reportPath.empty()) AppendToReport(reportPath, DescribeStart());

  std::wstring leaveName = EnvironmentValue(kLeaveFileVariable);
  if (!leaveName.empty()) LeaveFile(leaveName);
  if (!EnvironmentValue(kLeaveFolderVariable).empty()) {
    wchar_t system[MAX_PATH];
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length != 0 && length < MAX_PATH) SetCurrentDirectoryW(system);
  }

  HoldUntilReleased(EnvironmentValue(kStartedEventVariable),
                    EnvironmentValue(kReleaseEventVariable));
  std::wstring readOnlyName = EnvironmentValue(kReadOnlyFileVariable);
  if (!readOnlyName.empty()) {
    SetFileAttributesW((FolderOf(OwnModulePath()) + L"\\" + readOnlyName).c_str(),
                       FILE_ATTRIBUTE_READONLY);
  }
  return static_cast<int>(wcstoul(EnvironmentValue(kExitCodeVariable).c_str(), nullptr, 10));
}

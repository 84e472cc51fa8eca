#include "tests/support/launcher_process.h"

#include <algorithm>

#include "tests/support/process_windows.h"

static std::wstring NameOf(const std::wstring& entry) {
  // Entries such as "=C:=C:\..." start with the separator; their name runs to the second one.
  size_t separator = entry.find(L'=', 1);
  return entry.substr(0, separator);
}

static bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring BuildEnvironmentBlock(const EnvironmentChanges& changes) {
  std::vector<std::wstring> entries;
  wchar_t* own = GetEnvironmentStringsW();
  for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
    std::wstring text = entry;
    bool replaced = std::any_of(changes.begin(), changes.end(), [&](const auto& change) {
      return SameName(NameOf(text), change.first);
    });
    if (!replaced) entries.push_back(text);
  }
  FreeEnvironmentStringsW(own);
  for (const auto& change : changes) entries.push_back(change.first + L"=" + change.second);

  std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(NameOf(a).c_str(), -1, NameOf(b).c_str(), -1, TRUE) ==
           CSTR_LESS_THAN;
  });
  std::wstring block;
  for (const std::wstring& entry : entries) {
    block += entry;
    block += L'\0';
  }
  block += L'\0';
  return block;
}

LauncherProcess::~LauncherProcess() {
  if (!process_.hProcess) return;
  if (!HasExited()) {
    TerminateProcess(process_.hProcess, 0xDEAD);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  CloseHandle(process_.hProcess);
}

bool LauncherProcess::Start(const std::wstring& path, const std::wstring& workingDirectory,
                            const EnvironmentChanges& environment,
                            const std::function<void()>& whileSuspended) {
  std::wstring commandLine = commandLine_.empty() ? L"\"" + path + L"\"" : commandLine_;
  std::wstring block = BuildEnvironmentBlock(environment);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring desktop = desktop_;
  if (!desktop.empty()) startup.lpDesktop = &desktop[0];
  if (!CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, &block[0],
                      workingDirectory.c_str(), &startup, &process_)) {
    process_ = {};
    return false;
  }
  watcher_ = MessageBoxWatcher(process_.dwProcessId);
  if (whileSuspended) whileSuspended();
  ResumeThread(process_.hThread);
  CloseHandle(process_.hThread);
  process_.hThread = nullptr;
  return true;
}

void LauncherProcess::Observe() {
  watcher_.Poll();
  for (HWND window : TopLevelWindowsOf(process_.dwProcessId)) {
    if (IsWindowVisible(window) && ClassNameOf(window) != L"#32770") visibleWindowSeen_ = true;
  }
}

LauncherProcess::Wait LauncherProcess::WatchUntil(HANDLE event, DWORD limitMs) {
  if (!process_.hProcess) return Wait::kTimedOut;
  ULONGLONG deadline = GetTickCount64() + limitMs;
  for (;;) {
    Observe();
    HANDLE handles[2] = {process_.hProcess, event};
    DWORD count = event ? 2 : 1;
    DWORD result = WaitForMultipleObjects(count, handles, FALSE, 10);
    if (result == WAIT_OBJECT_0 + 1) return Wait::kSignalled;
    if (result == WAIT_OBJECT_0) return Wait::kExited;
    if (GetTickCount64() >= deadline) return Wait::kTimedOut;
  }
}

bool LauncherProcess::HasExited() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
}

DWORD LauncherProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_.hProcess) GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

#include "tests/support/installer_gate.h"

static std::wstring UniqueEventName(const wchar_t* role) {
  static LONG counter = 0;
  return L"Local\\vossimere-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&counter)) + L"-" + role;
}

InstallerGate::InstallerGate()
    : startedName_(UniqueEventName(L"started")),
      releaseName_(UniqueEventName(L"release")),
      started_(CreateEventW(nullptr, TRUE, FALSE, startedName_.c_str())),
      release_(CreateEventW(nullptr, TRUE, FALSE, releaseName_.c_str())) {}

InstallerGate::~InstallerGate() {
  Release();
  CloseHandle(started_);
  CloseHandle(release_);
}

void InstallerGate::Release() { SetEvent(release_); }

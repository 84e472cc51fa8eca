// Holding the fake installer while a test acts: two named events, one the installer sets when it
// has recorded what it saw, one it waits for before it exits. The names are unique per gate.
#pragma once

#include <windows.h>

#include <string>

class InstallerGate {
 public:
  InstallerGate();
  ~InstallerGate();  // lets a still held installer go
  InstallerGate(const InstallerGate&) = delete;
  InstallerGate& operator=(const InstallerGate&) = delete;

  const std::wstring& StartedName() const { return startedName_; }
  const std::wstring& ReleaseName() const { return releaseName_; }
  HANDLE Started() const { return started_; }
  void Release();

 private:
  std::wstring startedName_;
  std::wstring releaseName_;
  HANDLE started_;
  HANDLE release_;
};

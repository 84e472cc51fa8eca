// A window station of the driver's own, not WinSta0, with one desktop in it: what services and
// deployment agents in session 0 run in. Whatever a program shows there, no user sees, and the
// driver's box watcher does not see it either.
#pragma once

#include <windows.h>

#include <string>

class PrivateWindowStation {
 public:
  PrivateWindowStation();
  ~PrivateWindowStation();
  PrivateWindowStation(const PrivateWindowStation&) = delete;
  PrivateWindowStation& operator=(const PrivateWindowStation&) = delete;

  // Whether the station and its desktop were made; GetLastError() tells why not.
  bool Made() const { return desktop_ != nullptr; }
  // "station\desktop", as STARTUPINFO.lpDesktop names it.
  const std::wstring& DesktopPath() const { return path_; }
  // The station's flags as the system reports them (UOI_FLAGS); false when it does not.
  bool Flags(DWORD& flags) const;

 private:
  HWINSTA station_ = nullptr;
  HDESK desktop_ = nullptr;
  std::wstring path_;
};

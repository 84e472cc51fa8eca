#include "tests/e2e/window_station.h"

PrivateWindowStation::PrivateWindowStation() {
  static int made = 0;
  std::wstring name =
      L"VossimereE2E-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made);
  station_ = CreateWindowStationW(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
  if (!station_) return;
  // A desktop is made in the process's own station: switch to the new one for that moment.
  HWINSTA own = GetProcessWindowStation();
  if (!SetProcessWindowStation(station_)) return;
  desktop_ = CreateDesktopW(L"Unattended", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  DWORD error = GetLastError();
  SetProcessWindowStation(own);
  SetLastError(error);
  path_ = name + L"\\Unattended";
}

PrivateWindowStation::~PrivateWindowStation() {
  if (desktop_) CloseDesktop(desktop_);
  if (station_) CloseWindowStation(station_);
}

bool PrivateWindowStation::Flags(DWORD& flags) const {
  USEROBJECTFLAGS info = {};
  DWORD needed = 0;
  if (!station_ || !GetUserObjectInformationW(station_, UOI_FLAGS, &info, sizeof(info), &needed)) {
    return false;
  }
  flags = info.dwFlags;
  return true;
}

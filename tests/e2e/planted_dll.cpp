// A DLL someone left beside a launcher file, under the name of a DLL the launcher loads after it
// has started. Loaded into any process, it announces itself by appending one line to
// kPlantedMarkerName in its own folder; it does nothing else and exports nothing.
#include <windows.h>

#include "tests/e2e/planted_dll_protocol.h"

static void AnnounceLoad(HMODULE self) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  DWORD folderLength = length;
  while (folderLength > 0 && path[folderLength - 1] != L'\\') --folderLength;
  const DWORD nameRoom = MAX_PATH - folderLength;
  if (nameRoom <= sizeof kPlantedMarkerName / sizeof(wchar_t)) return;
  lstrcpynW(path + folderLength, kPlantedMarkerName, static_cast<int>(nameRoom));
  HANDLE marker = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(marker, kPlantedMarkerLine, sizeof kPlantedMarkerLine - 1, &written, nullptr);
  CloseHandle(marker);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) AnnounceLoad(self);
  return TRUE;
}

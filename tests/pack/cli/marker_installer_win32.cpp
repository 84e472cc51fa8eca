// A stand-in installer for the signing test under Wine: it records the names and sizes of the
// files in its working folder (where the launcher extracted it and the package) into the file
// named by VOSSIMERE_PACK_TEST_MARKER, and exits. No window, like a silent installer.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const wchar_t* marker = _wgetenv(L"VOSSIMERE_PACK_TEST_MARKER");
  if (!marker) return 2;
  std::ofstream out(std::filesystem::path(marker), std::ios::binary);
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    out << entry.path().filename().u8string() << ' ' << entry.file_size() << '\n';
  }
  return out.good() ? 0 : 1;
}

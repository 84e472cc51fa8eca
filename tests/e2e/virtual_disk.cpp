#include "tests/e2e/virtual_disk.h"

#include <windows.h>

#include <vector>

#include "tests/e2e/test_folder.h"
#include "tests/e2e/windows_arrangements.h"

// diskpart reads its script in the console's code page; every path in it is plain ASCII.
static std::string Ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The last drive letter nothing uses, or 0.
static wchar_t FreeDriveLetter() {
  DWORD used = GetLogicalDrives();
  for (wchar_t letter = L'Z'; letter >= L'G'; --letter) {
    if (!(used & (1u << (letter - L'A')))) return letter;
  }
  return 0;
}

bool VirtualDisk::RunScript(const std::string& script, std::string* output) const {
  std::wstring scriptPath = file_ + L".diskpart.txt";
  if (!WriteBytes(scriptPath, std::vector<uint8_t>(script.begin(), script.end()))) {
    *output = "cannot write the diskpart script";
    return false;
  }
  wchar_t system[MAX_PATH];
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  std::wstring diskpart = PathIn(std::wstring(system, length), L"diskpart.exe");
  bool ran = RunSystemCommand(L"\"" + diskpart + L"\" /s \"" + scriptPath + L"\"", 180000, output);
  DeleteFileW(scriptPath.c_str());
  return ran;
}

VirtualDisk::VirtualDisk(const std::wstring& name, unsigned megabytes, Format format) {
  std::wstring folder = PlainFolder();
  wchar_t letter = FreeDriveLetter();
  if (folder.empty() || !letter) {
    problem_ = folder.empty() ? "cannot make the folder for the disk" : "no free drive letter";
    return;
  }
  file_ = PathIn(folder, name + L"-" + std::to_wstring(GetCurrentProcessId()) + L".vhd");
  DeleteFileW(file_.c_str());
  std::string file = Ascii(file_);
  std::string script = "create vdisk file=\"" + file + "\" maximum=" + std::to_string(megabytes) +
                       " type=expandable\n"
                       "select vdisk file=\"" +
                       file +
                       "\"\n"
                       "attach vdisk\n"
                       "create partition primary\n"
                       "format fs=" +
                       (format == Format::kNtfs ? "ntfs" : "fat32") +
                       " quick label=E2E\n"
                       "assign letter=" +
                       std::string(1, static_cast<char>(letter)) + "\n";
  std::string output;
  if (!RunScript(script, &output)) {
    problem_ = "diskpart could not make the disk: " + output;
    RunScript("select vdisk file=\"" + file + "\"\ndetach vdisk noerr\n", &output);
    DeleteFileW(file_.c_str());
    return;
  }
  std::wstring root = std::wstring(1, letter) + L":";
  // The letter may reach this process a moment after diskpart assigned it.
  for (int i = 0; i < 100 && !IsFolder(root + L"\\"); ++i) Sleep(100);
  if (IsFolder(root + L"\\")) {
    root_ = root;
  } else {
    problem_ = "the new volume did not appear as " + Ascii(root);
  }
}

VirtualDisk::~VirtualDisk() {
  if (file_.empty()) return;
  std::string output;
  RunScript("select vdisk file=\"" + Ascii(file_) + "\"\ndetach vdisk noerr\n", &output);
  DeleteFileW(file_.c_str());
  // The plain folder goes with its last disk.
  std::wstring folder = file_.substr(0, file_.find_last_of(L'\\'));
  RemoveDirectoryW(folder.c_str());
}

bool VirtualDisk::LeaveFree(uint64_t bytes) {
  std::wstring root = root_ + L"\\";
  ULARGE_INTEGER free = {};
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceExW(root.c_str(), &free, nullptr, nullptr) ||
      !GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &clusters)) {
    return false;
  }
  uint64_t cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
  if (free.QuadPart <= bytes) return true;
  uint64_t fill = (free.QuadPart - bytes + cluster - 1) / cluster * cluster;
  HANDLE filler = CreateFileW((root + L"filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (filler == INVALID_HANDLE_VALUE) return false;
  // The file system's own records may grow with the file: a size that does not fit is tried a
  // cluster smaller, and the rest is taken cluster by cluster.
  LARGE_INTEGER size;
  bool sized = false;
  for (int tries = 0; tries < 64 && fill > 0 && !sized; ++tries, fill -= cluster) {
    size.QuadPart = static_cast<LONGLONG>(fill);
    sized = SetFilePointerEx(filler, size, nullptr, FILE_BEGIN) && SetEndOfFile(filler);
  }
  size.QuadPart = 0;
  SetFilePointerEx(filler, size, nullptr, FILE_END);
  std::vector<uint8_t> piece(static_cast<size_t>(cluster), 0);
  DWORD written = 0;
  while (GetDiskFreeSpaceExW(root.c_str(), &free, nullptr, nullptr) && free.QuadPart > bytes &&
         WriteFile(filler, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) &&
         written == piece.size()) {
  }
  CloseHandle(filler);
  return GetDiskFreeSpaceExW(root.c_str(), &free, nullptr, nullptr) && free.QuadPart <= bytes;
}

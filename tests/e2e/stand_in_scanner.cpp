// A stand-in for a real-time virus scanner, an indexer or a backup agent: holds each file it first
// sees in a folder tree for a while, with the sharing such programs use (tests/README.md, "The
// stand-in scanner", says what each mode allows others and what it reports).
//
//   stand_in_scanner <folder> <hold in ms> read|delete|none <report file> <ready event>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

constexpr ULONGLONG kLifetimeMs = 60000;

struct Held {
  HANDLE file;
  ULONGLONG until;
};

static void AppendLine(const std::wstring& report, const std::wstring& line) {
  HANDLE file = CreateFileW(report.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::wstring text = line.empty() ? line : line + L"\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
            nullptr);
  CloseHandle(file);
}

// Every file below `folder`, at any depth.
static void ListFiles(const std::wstring& folder, std::vector<std::wstring>& files) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(path, files);
    } else {
      files.push_back(path);
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) return 2;
  std::wstring folder = argv[1];
  DWORD holdMs = wcstoul(argv[2], nullptr, 10);
  std::wstring mode = argv[3];
  DWORD sharing = mode == L"read"     ? FILE_SHARE_READ
                  : mode == L"delete" ? FILE_SHARE_READ | FILE_SHARE_DELETE
                                      : 0;
  std::wstring report = argv[4];
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[5]);
  if (!ready) return 3;

  std::set<std::wstring> done;  // held once already
  std::vector<Held> held;
  const ULONGLONG end = GetTickCount64() + kLifetimeMs;
  bool firstLookDone = false;
  while (GetTickCount64() < end) {
    std::vector<std::wstring> files;
    ListFiles(folder, files);
    bool waiting = false;  // for a file that someone else has open
    for (const std::wstring& path : files) {
      if (path == report || done.count(path)) continue;
      HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        waiting = true;
        continue;
      }
      held.push_back({file, GetTickCount64() + holdMs});
      done.insert(path);
      AppendLine(report, path);
    }
    if (!firstLookDone && !waiting) {
      firstLookDone = true;
      SetEvent(ready);
      CloseHandle(ready);
    }
    ULONGLONG now = GetTickCount64();
    for (size_t i = 0; i < held.size();) {
      if (held[i].until <= now) {
        CloseHandle(held[i].file);
        held.erase(held.begin() + i);
      } else {
        ++i;
      }
    }
    // A file being written is tried again at once, as a scanner that acts on its close would.
    Sleep(waiting ? 0 : 1);
  }
  if (!firstLookDone) CloseHandle(ready);
  return 0;
}

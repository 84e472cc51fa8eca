// show-in-shell: shows a folder in the system's file browser with large icons and one file's
// Properties sheet beside it, as a user sees a download, and prints where the two windows are on
// the screen, so that a picture can be taken (scripts/docs-picture). Both are closed after a while.
//
//   show-in-shell FOLDER FILE [SECONDS]
//
// SECONDS is how long the windows stay after their place is printed (10 when not given). The place
// is one line on the standard output, the rectangle both windows cover:
//   shown: LEFT TOP RIGHT BOTTOM
// Exit code: 0 when both were shown and closed; 1 when one did not appear within 20 s; 2 for a
// usage error.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

constexpr int kShown = 0;
constexpr int kNotShown = 1;
constexpr int kUsageError = 2;
constexpr DWORD kPollMilliseconds = 100;
constexpr DWORD kWaitMilliseconds = 20000;

// The file browser's "large icons" command (its shell view's View menu) and the window sizes.
constexpr WPARAM kLargeIconsCommand = 0x7029;
constexpr int kBrowserWidth = 420;      // as high as the Properties sheet
constexpr int kIconSpacingWidth = 170;  // room for "ExampleProductSetup.exe" under its icon
constexpr int kIconSpacingHeight = 80;
constexpr int kGap = 8;

struct Showing {
  std::wstring fileName;  // the Properties sheet's caption names the file
  DWORD browserProcess = 0;
  DWORD openMilliseconds = 10000;
  bool shown = false;
};

struct Search {
  DWORD process;
  const wchar_t* childClass;  // a window that has such a child, or
  const wchar_t* caption;     // a window whose caption holds this text
  HWND found;
  HWND child;
};

static BOOL CALLBACK FindChild(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (std::wcscmp(name, search->childClass) != 0) return TRUE;
  search->child = window;
  return FALSE;
}

static BOOL CALLBACK FindTopWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window)) return TRUE;
  if (search->childClass) {
    EnumChildWindows(window, FindChild, parameter);
    if (!search->child) return TRUE;
  } else {
    wchar_t caption[512] = {};
    GetWindowTextW(window, caption, 512);
    if (!std::wcsstr(caption, search->caption)) return TRUE;
  }
  search->found = window;
  return FALSE;
}

static HWND WaitForWindow(Search& search) {
  for (DWORD waited = 0; waited < kWaitMilliseconds && !search.found; waited += kPollMilliseconds) {
    Sleep(kPollMilliseconds);
    search.child = nullptr;
    EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

// The browser's items as large icons, spaced so that a long name shows whole.
static void ShowLargeIcons(HWND shellView) {
  SendMessageW(shellView, WM_COMMAND, kLargeIconsCommand, 0);
  HWND list = FindWindowExW(shellView, nullptr, WC_LISTVIEWW, nullptr);
  if (!list) return;
  SendMessageW(list, LVM_SETICONSPACING, 0, MAKELPARAM(kIconSpacingWidth, kIconSpacingHeight));
  SendMessageW(list, LVM_ARRANGE, LVA_DEFAULT, 0);
}

// The shell shows the sheet from the thread that asked for it (and blocks that thread on some
// systems), so a second thread waits for both windows, places them side by side, reports and
// closes them.
static DWORD WINAPI PlaceReportAndClose(void* parameter) {
  auto* showing = static_cast<Showing*>(parameter);
  Search browser{showing->browserProcess, L"SHELLDLL_DefView", nullptr, nullptr, nullptr};
  Search sheet{GetCurrentProcessId(), nullptr, showing->fileName.c_str(), nullptr, nullptr};
  if (!WaitForWindow(browser) || !WaitForWindow(sheet)) {
    if (browser.found) PostMessageW(browser.found, WM_CLOSE, 0, 0);
    if (sheet.found) PostMessageW(sheet.found, WM_CLOSE, 0, 0);
    return 0;
  }
  RECT browserRect{}, sheetRect{};
  GetWindowRect(sheet.found, &sheetRect);
  SetWindowPos(browser.found, nullptr, 0, 0, kBrowserWidth, sheetRect.bottom - sheetRect.top,
               SWP_NOZORDER);
  ShowLargeIcons(browser.child);
  GetWindowRect(browser.found, &browserRect);
  SetWindowPos(sheet.found, HWND_TOP, browserRect.right + kGap, 0, 0, 0, SWP_NOSIZE);
  SetForegroundWindow(sheet.found);
  for (HWND window : {browser.found, sheet.found}) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  GetWindowRect(browser.found, &browserRect);
  GetWindowRect(sheet.found, &sheetRect);
  std::printf("shown: %ld %ld %ld %ld\n", std::min(browserRect.left, sheetRect.left),
              std::min(browserRect.top, sheetRect.top),
              std::max(browserRect.right, sheetRect.right),
              std::max(browserRect.bottom, sheetRect.bottom));
  std::fflush(stdout);
  showing->shown = true;
  Sleep(showing->openMilliseconds);
  PostMessageW(sheet.found, WM_CLOSE, 0, 0);
  PostMessageW(browser.found, WM_CLOSE, 0, 0);
  return 0;
}

// The file's shortcut menu, as a file browser builds it, and its "properties" command.
static bool InvokeProperties(const wchar_t* path) {
  PIDLIST_ABSOLUTE item = ILCreateFromPathW(path);
  if (!item) return false;
  IShellFolder* folder = nullptr;
  PCUITEMID_CHILD child = nullptr;
  IContextMenu* menu = nullptr;
  bool invoked = false;
  if (SUCCEEDED(
          SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&folder), &child)) &&
      SUCCEEDED(folder->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr,
                                      reinterpret_cast<void**>(&menu)))) {
    CMINVOKECOMMANDINFO command{};
    command.cbSize = sizeof command;
    command.lpVerb = "properties";
    command.nShow = SW_SHOWNORMAL;
    invoked = SUCCEEDED(menu->InvokeCommand(&command));
  }
  if (menu) menu->Release();
  if (folder) folder->Release();
  ILFree(item);
  return invoked;
}

static bool FullPath(const wchar_t* path, std::wstring& full, std::wstring* name) {
  wchar_t buffer[MAX_PATH] = {};
  wchar_t* namePart = nullptr;
  if (!GetFullPathNameW(path, MAX_PATH, buffer, &namePart) ||
      GetFileAttributesW(buffer) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "show-in-shell: %ls: not found\n", path);
    return false;
  }
  full = buffer;
  if (name) *name = namePart ? namePart : L"";
  return true;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: show-in-shell FOLDER FILE [SECONDS]\n");
    return kUsageError;
  }
  std::wstring folder, file;
  Showing showing;
  if (!FullPath(argv[1], folder, nullptr) || !FullPath(argv[2], file, &showing.fileName)) {
    return kUsageError;
  }
  if (argc > 3) showing.openMilliseconds = static_cast<DWORD>(_wtoi(argv[3])) * 1000;

  std::wstring command = L"explorer.exe /root,\"" + folder + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION browser{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &browser)) {
    std::fprintf(stderr, "show-in-shell: the file browser did not start (error %lu)\n",
                 GetLastError());
    return kNotShown;
  }
  showing.browserProcess = browser.dwProcessId;

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HANDLE placer = CreateThread(nullptr, 0, PlaceReportAndClose, &showing, 0, nullptr);
  if (!InvokeProperties(file.c_str())) {
    std::fprintf(stderr, "show-in-shell: the shell gave no Properties sheet\n");
  }
  // Where the shell returns at once, the sheet lives on in this process's other threads: keep
  // the messages flowing until the placing thread is done.
  while (MsgWaitForMultipleObjects(1, &placer, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  CloseHandle(placer);
  CoUninitialize();
  WaitForSingleObject(browser.hProcess, kWaitMilliseconds);
  CloseHandle(browser.hThread);
  CloseHandle(browser.hProcess);
  return showing.shown ? kShown : kNotShown;
}

// read-error-box: starts a program, waits for the message boxes it shows, prints each box's
// caption and text as UTF-8 and presses OK on it, as a user would, then prints the program's exit
// code. The demo uses it to show what a user sees when a launcher fails.
//
//   read-error-box [--timeout SECONDS] PROGRAM [ARGUMENT...]
//
// Exit code: 0 when the program showed at least one box and then ended; 1 when it ended without
// showing one; 3 when it did not end within the timeout (it is then terminated); 2 for a usage
// error or a program that cannot be started.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

constexpr int kBoxesShown = 0;
constexpr int kNoBox = 1;
constexpr int kUsageError = 2;
constexpr int kTimedOut = 3;

constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text
constexpr DWORD kPollMilliseconds = 50;

static void Write(DWORD stream, const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

static void Print(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }
static void Complain(const std::wstring& text) { Write(STD_ERROR_HANDLE, text); }

// One argument quoted for CreateProcessW's command line, by the rules the C runtime parses.
static std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// The window's text through WM_GETTEXT, which reaches windows of other processes too; a window
// that does not answer within a second reads as empty.
static std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length))
    return std::wstring();
  std::vector<wchar_t> buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, 1000,
                           &copied))
    return std::wstring();
  return std::wstring(buffer.data(), copied);
}

struct BoxSearch {
  DWORD processId;
  HWND box;
};

// A message box is a top-level dialog (class "#32770") with the message text control.
static BOOL CALLBACK FindBox(HWND window, LPARAM context) {
  BoxSearch& search = *reinterpret_cast<BoxSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[16] = L"";
  GetClassNameW(window, className, 16);
  if (owner != search.processId || wcscmp(className, L"#32770") != 0 ||
      !GetDlgItem(window, kMessageTextId)) {
    return TRUE;
  }
  search.box = window;
  return FALSE;
}

static HWND MessageBoxOf(DWORD processId) {
  BoxSearch search = {processId, nullptr};
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  return search.box;
}

// "text:" and its lines, the blank line inside the creation message included.
static void PrintBox(HWND box) {
  // The dialog exists a moment before its text is filled in.
  std::wstring text;
  for (int attempt = 0; attempt < 40 && text.empty(); ++attempt) {
    text = TextOf(GetDlgItem(box, kMessageTextId));
    if (text.empty()) Sleep(kPollMilliseconds);
  }
  std::wstring caption = TextOf(box);
  Print(L"caption: " + (caption.empty() ? std::wstring(L"(empty)") : caption) + L"\n");
  std::wstring shown = L"text:    ";
  for (wchar_t c : text) {
    if (c == L'\r') continue;
    shown += c;
    if (c == L'\n') shown += L"         ";
  }
  Print(shown + L"\n");
}

static void PressOk(HWND box) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

static int Usage() {
  Complain(L"usage: read-error-box [--timeout SECONDS] PROGRAM [ARGUMENT...]\n");
  return kUsageError;
}

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  DWORD timeoutSeconds = 120;
  if (argc > 2 && wcscmp(argv[1], L"--timeout") == 0) {
    timeoutSeconds = wcstoul(argv[2], nullptr, 10);
    first = 3;
  }
  if (first >= argc || timeoutSeconds == 0) return Usage();

  std::wstring commandLine;
  for (int i = first; i < argc; ++i) commandLine += (i > first ? L" " : L"") + Quoted(argv[i]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    Complain(L"read-error-box: cannot start " + std::wstring(argv[first]) + L" (error " +
             std::to_wstring(GetLastError()) + L")\n");
    return kUsageError;
  }
  CloseHandle(process.hThread);

  int boxes = 0;
  HWND lastBox = nullptr;
  ULONGLONG deadline = GetTickCount64() + timeoutSeconds * 1000ULL;
  while (WaitForSingleObject(process.hProcess, kPollMilliseconds) == WAIT_TIMEOUT) {
    if (GetTickCount64() > deadline) {
      Complain(L"read-error-box: the program did not end within " +
               std::to_wstring(timeoutSeconds) + L" s; terminated\n");
      TerminateProcess(process.hProcess, 1);
      CloseHandle(process.hProcess);
      return kTimedOut;
    }
    HWND box = MessageBoxOf(process.dwProcessId);
    if (!box || box == lastBox) continue;  // a box already answered may take a moment to go
    PrintBox(box);
    PressOk(box);
    lastBox = box;
    ++boxes;
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  Print(L"boxes:   " + std::to_wstring(boxes) + L"\nexit code: " + std::to_wstring(exitCode) +
        L"\n");
  return boxes > 0 ? kBoxesShown : kNoBox;
}

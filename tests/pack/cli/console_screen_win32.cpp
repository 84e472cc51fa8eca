// Runs a console program in a console of its own, as a user in a command prompt would, and prints
// what that console then shows, as UTF-8, between the console's output code page before and after
// the run, and the program's exit code:
//   console-screen PROGRAM [ARGUMENTS...]
// The pack tool's output in a console is whatever the console holds once it has ended, not the
// bytes it wrote, so this is how a test sees it. The screen is 200 columns wide, so no line of the
// tool's is wrapped.
#include <windows.h>

#include <string>

#include "tests/support/quoted_argument.h"

static bool WriteUtf8(HANDLE out, const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                      nullptr, nullptr);
  DWORD written = 0;
  return WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// The rows the cursor has passed, each without its trailing blanks.
static std::wstring ScreenText(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(console, &info)) return L"(no screen buffer)\n";
  std::wstring text;
  std::wstring row(info.dwSize.X, L' ');
  for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
    DWORD read = 0;
    if (!ReadConsoleOutputCharacterW(console, &row[0], info.dwSize.X, COORD{0, y}, &read)) break;
    std::wstring line = row.substr(0, read);
    line.erase(line.find_last_not_of(L' ') + 1);
    text += line + L"\n";
  }
  return text;
}

int wmain(int argc, wchar_t** argv) {
  HANDLE report = GetStdHandle(STD_OUTPUT_HANDLE);
  if (argc < 2) return 2;
  std::wstring commandLine = QuotedArgument(argv[1]);
  for (int i = 2; i < argc; ++i) commandLine += L" " + QuotedArgument(argv[i]);

  // A new console; the program gets its screen and keyboard as its standard handles.
  FreeConsole();
  if (!AllocConsole()) return 3;
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  HANDLE screen =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherited, OPEN_EXISTING, 0, nullptr);
  HANDLE keyboard =
      CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherited, OPEN_EXISTING, 0, nullptr);
  if (screen == INVALID_HANDLE_VALUE || keyboard == INVALID_HANDLE_VALUE) return 4;
  SetConsoleScreenBufferSize(screen, COORD{200, 400});
  UINT codePageBefore = GetConsoleOutputCP();

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = keyboard;
  startup.hStdOutput = screen;
  startup.hStdError = screen;
  PROCESS_INFORMATION process;
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 5;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  std::wstring text = L"code page: " + std::to_wstring(codePageBefore) + L"\n" +
                      ScreenText(screen) + L"exit code: " + std::to_wstring(exitCode) + L"\n" +
                      L"code page: " + std::to_wstring(GetConsoleOutputCP()) + L"\n";
  CloseHandle(keyboard);
  CloseHandle(screen);
  return WriteUtf8(report, text) ? 0 : 6;
}

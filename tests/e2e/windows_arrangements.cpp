#include "tests/e2e/windows_arrangements.h"

#include <aclapi.h>
#include <softpub.h>
#include <wintrust.h>

#include <vector>

#include "tests/e2e/system_task.h"
#include "tests/e2e/test_folder.h"

bool RunSystemCommand(const std::wstring& commandLine, DWORD limitMs, std::string* output) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return false;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process = {};
  std::wstring line = commandLine;
  bool started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                nullptr, nullptr, &startup, &process) != 0;
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    if (output) *output = "cannot start it, error " + std::to_string(GetLastError());
    return false;
  }
  CloseHandle(process.hThread);
  // Read until the program and whatever it started close the pipe, or the time is up.
  std::string text;
  ULONGLONG deadline = GetTickCount64() + limitMs;
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available > 0) {
      std::vector<char> piece(available);
      DWORD read = 0;
      if (!ReadFile(readEnd, piece.data(), available, &read, nullptr)) break;
      text.append(piece.data(), read);
      continue;
    }
    if (GetTickCount64() >= deadline) break;
    Sleep(20);
  }
  CloseHandle(readEnd);
  bool ended =
      WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0 ||
      WaitForSingleObject(process.hProcess, static_cast<DWORD>(deadline > GetTickCount64()
                                                                   ? deadline - GetTickCount64()
                                                                   : 0)) == WAIT_OBJECT_0;
  DWORD code = STILL_ACTIVE;
  if (!ended) {
    TerminateProcess(process.hProcess, 1);
    text += "\n(still running after " + std::to_string(limitMs) + " ms)";
  }
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  if (output) *output = text;
  return ended && code == 0;
}

std::wstring PlainFolder() {
  wchar_t windows[MAX_PATH];
  UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length < 3 || length >= MAX_PATH) return std::wstring();
  std::wstring folder = std::wstring(windows, 3) + L"VossimereE2E";
  if (!MakeFolder(folder) && !IsFolder(folder)) return std::wstring();
  return folder;
}

// Enables the privilege `name` in `token` and keeps in `previous` what its state was before.
static bool EnablePrivilege(HANDLE token, const wchar_t* name, TOKEN_PRIVILEGES& previous) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
  DWORD previousSize = 0;
  // AdjustTokenPrivileges succeeds without enabling a privilege the token lacks, and says so
  // through the last error only. `previous` gets no entry for a privilege that was on already.
  return AdjustTokenPrivileges(token, FALSE, &privileges, sizeof previous, &previous,
                               &previousSize) &&
         GetLastError() == ERROR_SUCCESS;
}

// Puts back what EnablePrivilege changed, so that the launchers this program starts later inherit
// the token as it was: an enabled SeRestorePrivilege would let their backup-semantics opens pass
// access lists, and the folder-owner cases would show less than they say.
static void RestorePrivilege(HANDLE token, TOKEN_PRIVILEGES& previous) {
  if (previous.PrivilegeCount == 0) return;
  AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
}

bool SetFolderOwner(const std::wstring& path, FolderOwnerChoice owner) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token)) {
    return false;
  }
  std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
  TOKEN_PRIVILEGES restoreBefore = {};
  TOKEN_PRIVILEGES takeOwnershipBefore = {};
  bool haveSid = false;
  if (owner == FolderOwnerChoice::kAnotherPrincipal) {
    DWORD size = static_cast<DWORD>(sid.size());
    haveSid = CreateWellKnownSid(WinLocalServiceSid, nullptr, sid.data(), &size) &&
              EnablePrivilege(token, L"SeRestorePrivilege", restoreBefore) &&
              EnablePrivilege(token, L"SeTakeOwnershipPrivilege", takeOwnershipBefore);
  } else {
    std::vector<BYTE> user(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE);
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()),
                            &size)) {
      PSID userSid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
      haveSid = CopySid(static_cast<DWORD>(sid.size()), sid.data(), userSid) != 0;
    }
  }
  std::wstring name = path;
  bool set =
      haveSid && SetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                       sid.data(), nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RestorePrivilege(token, takeOwnershipBefore);
  RestorePrivilege(token, restoreBefore);
  CloseHandle(token);
  return set;
}

bool PrivilegeEnabled(const wchar_t* name) {
  LUID luid;
  HANDLE token = nullptr;
  if (!LookupPrivilegeValueW(nullptr, name, &luid) ||
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return false;
  }
  PRIVILEGE_SET asked = {1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
  BOOL enabled = FALSE;
  bool checked = PrivilegeCheck(token, &asked, &enabled) != 0;
  CloseHandle(token);
  return checked && enabled;
}

bool MarkAsDownloaded(const std::wstring& path) {
  const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
  std::wstring stream = path + L":Zone.Identifier";
  std::vector<uint8_t> bytes(zone.begin(), zone.end());
  return WriteBytes(stream, bytes) && ReadBytes(stream) == bytes;
}

LONG VerifyEmbeddedSignature(const std::wstring& path) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG verdict = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return verdict;
}

static std::wstring SystemProgram(const wchar_t* name) {
  wchar_t system[MAX_PATH];
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  return L"\"" + PathIn(std::wstring(system, length), name) + L"\"";
}

static std::string Narrow(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string narrow(size, '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &narrow[0], size,
                        nullptr, nullptr);
  }
  return narrow;
}

// Writes the task's definition beside the script, in UTF-16 with a byte-order mark.
static std::wstring WriteTaskDefinition(const std::wstring& script) {
  size_t slash = script.find_last_of(L'\\');
  std::wstring path = (slash == std::wstring::npos ? std::wstring(L".") : script.substr(0, slash)) +
                      L"\\system-task.xml";
  std::wstring text = SystemTaskDefinition(script);
  std::vector<uint8_t> bytes = {0xFF, 0xFE};
  for (wchar_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return WriteBytes(path, bytes) ? path : std::wstring();
}

bool RunScriptAsSystem(const std::wstring& script, const std::wstring& done, DWORD limitMs,
                       std::string* problem) {
  std::wstring schtasks = SystemProgram(L"schtasks.exe");
  std::wstring task = L"Vossimere end-to-end " + std::to_wstring(GetCurrentProcessId());
  std::string output;
  // Made from its definition (system_task.h), which runs it when /run says so, on batteries too.
  std::wstring definition = WriteTaskDefinition(script);
  if (definition.empty()) {
    *problem = "the task's definition could not be written beside " + Narrow(script);
    return false;
  }
  if (!RunSystemCommand(
          schtasks + L" /create /f /tn \"" + task + L"\" /xml \"" + definition + L"\"", 60000,
          &output)) {
    *problem = "schtasks /create failed: " + output;
    return false;
  }
  bool appeared = false;
  if (!RunSystemCommand(schtasks + L" /run /tn \"" + task + L"\"", 60000, &output)) {
    *problem = "schtasks /run failed: " + output;
  } else {
    ULONGLONG deadline = GetTickCount64() + limitMs;
    while (!(appeared = PathExists(done)) && GetTickCount64() < deadline) Sleep(50);
    if (!appeared) *problem = "the task wrote nothing within " + std::to_string(limitMs) + " ms";
  }
  if (!RunSystemCommand(schtasks + L" /delete /f /tn \"" + task + L"\"", 60000, &output)) {
    *problem += (problem->empty() ? "" : "; ") + std::string("schtasks /delete failed: ") + output +
                " (task " + Narrow(task) + ")";
    return false;
  }
  return appeared;
}

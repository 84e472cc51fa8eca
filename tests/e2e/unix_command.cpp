#include "tests/e2e/unix_command.h"

#include <windows.h>

#include <functional>
#include <vector>

#include "tests/e2e/test_folder.h"
#include "tests/support/quoted_argument.h"

bool IsRunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

static bool& LinuxCommandsAllowed() {
  static bool allowed = false;
  return allowed;
}

void AllowLinuxCommands(bool allowed) { LinuxCommandsAllowed() = allowed; }

// Starts the Linux program `program` (such as /bin/ln) with `arguments` in `workingDirectory`.
static bool StartUnixCommand(const std::string& program, const std::vector<std::wstring>& arguments,
                             const std::wstring& workingDirectory) {
  if (!LinuxCommandsAllowed()) return false;
  std::wstring linuxPath(program.begin(), program.end());
  std::wstring image = L"Z:" + linuxPath;
  for (wchar_t& unit : image) {
    if (unit == L'/') unit = L'\\';
  }
  std::wstring commandLine = QuotedArgument(linuxPath);
  for (const std::wstring& argument : arguments) commandLine += L" " + QuotedArgument(argument);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(image.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      workingDirectory.c_str(), &startup, &process)) {
    return false;
  }
  // Wine reports a Linux program's start as a success without giving it real handles: the two
  // values in `process` are whatever numbers it left there, and closing them would close handles
  // of this program's own (its cached HKEY_CURRENT_USER, for one). Nothing is closed.
  return true;
}

static bool Within(DWORD limitMs, const std::function<bool()>& condition) {
  ULONGLONG deadline = GetTickCount64() + limitMs;
  while (!condition()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(10);
  }
  return true;
}

// Whether `folder` lists `name`; a link to a device has no attributes to ask for.
static bool Listed(const std::wstring& folder, const std::wstring& name) {
  for (const std::wstring& entry : FolderEntries(folder)) {
    if (entry == name) return true;
  }
  return false;
}

bool MakeLinuxLink(const std::wstring& folder, const std::wstring& name,
                   const std::string& target) {
  std::wstring wideTarget(target.begin(), target.end());
  return StartUnixCommand("/bin/ln", {L"-s", wideTarget, name}, folder) &&
         Within(10000, [&] { return Listed(folder, name); });
}

bool RemoveLinuxLink(const std::wstring& folder, const std::wstring& name) {
  return StartUnixCommand("/bin/rm", {L"-f", name}, folder) &&
         Within(10000, [&] { return !Listed(folder, name); });
}

// Runs `script` with /bin/sh, `arguments` as $1, $2, ...
static bool StartShellScript(const wchar_t* script, const std::vector<std::wstring>& arguments,
                             const std::wstring& workingDirectory) {
  std::vector<std::wstring> shellArguments = {L"-c", script, L"sh"};
  shellArguments.insert(shellArguments.end(), arguments.begin(), arguments.end());
  return StartUnixCommand("/bin/sh", shellArguments, workingDirectory);
}

bool RemoveTreeFromLinux(const std::wstring& folder, const std::wstring& name) {
  std::wstring path = PathIn(folder, name);
  const wchar_t* script =
      L"find \"$1\" -depth -type d -exec mountpoint -q {} ';' -exec umount -l {} ';'; "
      L"rm -rf -- \"$1\"";
  return StartShellScript(script, {name}, folder) &&
         Within(30000, [&] { return !PathExists(path); });
}

bool MakeLinuxFolder(const std::wstring& folder, const std::wstring& name, LinuxOwner owner) {
  const wchar_t* script =
      L"owner=65534:65534; [ \"$2\" = this ] && owner=$(id -u):$(id -g); "
      L"mkdir -- \"$1.part\" && chown \"$owner\" -- \"$1.part\" && mv -- \"$1.part\" \"$1\"";
  std::wstring who = owner == LinuxOwner::kThisUser ? L"this" : L"another";
  return StartShellScript(script, {name, who}, folder) &&
         Within(10000, [&] { return Listed(folder, name); });
}

// The mount scripts leave `name`.mounted beside the mount point while it is mounted, and
// `name`.unmountable when the mount failed.
bool MountSmallFileSystem(const std::wstring& folder, const std::wstring& name, size_t bytes) {
  const wchar_t* script = L"if mount -t tmpfs -o size=$2 tmpfs \"$1\"; then : > \"$1.mounted\"; "
                          L"else : > \"$1.unmountable\"; fi";
  if (!StartShellScript(script, {name, std::to_wstring(bytes)}, folder)) return false;
  Within(10000, [&] {
    return Listed(folder, name + L".mounted") || Listed(folder, name + L".unmountable");
  });
  DeleteFileW(PathIn(folder, name + L".unmountable").c_str());
  return Listed(folder, name + L".mounted");
}

bool UnmountSmallFileSystem(const std::wstring& folder, const std::wstring& name) {
  const wchar_t* script = L"umount -l \"$1\" && rm -f -- \"$1.mounted\"";
  return StartShellScript(script, {name}, folder) &&
         Within(10000, [&] { return !Listed(folder, name + L".mounted"); });
}

// Finds the programs the verifying script calls, whatever search path Wine passes on.
static const std::wstring kSigningPath = L"PATH=/usr/local/bin:/usr/bin:/bin:$PATH; ";

std::string OsslsigncodeVerify(const std::wstring& folder, const std::wstring& name) {
  std::wstring script =
      kSigningPath +
      L"osslsigncode verify -CAfile cert.pem -in \"$1\" > \"$1.verify.part\" 2>&1; "
      L"echo \"exit $?\" >> \"$1.verify.part\"; mv -- \"$1.verify.part\" \"$1.verify\"";
  std::wstring report = name + L".verify";
  if (!StartShellScript(script.c_str(), {name}, folder) ||
      !Within(60000, [&] { return Listed(folder, report); })) {
    return std::string();
  }
  std::vector<uint8_t> bytes = ReadBytes(PathIn(folder, report));
  return std::string(bytes.begin(), bytes.end());
}

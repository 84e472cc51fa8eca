// The arrangements a case makes by Windows means where an elevated run on Windows allows them:
// another owner for a folder, a Mark of the Web on a file, a signature checked as Windows checks
// it, a program run as SYSTEM in session 0 by a scheduled task, and Windows' own commands run to
// their end.
#pragma once

#include <windows.h>

#include <string>

// Runs `commandLine` (a Windows program of the system, such as diskpart or schtasks) without a
// window and waits up to `limitMs` for it; true when it ended in time with exit code 0. `output`
// gets what it wrote, for the reason of a failure.
bool RunSystemCommand(const std::wstring& commandLine, DWORD limitMs, std::string* output);

// The system drive's root folder for the files diskpart and the task scheduler read, with a plain
// ASCII path that any code page can write ("C:\VossimereE2E", made when missing); empty when it
// cannot be made.
std::wstring PlainFolder();

enum class FolderOwnerChoice {
  kAnotherPrincipal,  // the Local Service account, which the launcher does not trust
  kTheUser,           // the user the driver runs as
};

// Makes `owner` the owner of the folder at `path` (SetNamedSecurityInfoW; another principal than
// oneself takes SeRestorePrivilege, enabled in the elevated token for the call and put back as it
// was afterwards). True once it is set.
bool SetFolderOwner(const std::wstring& path, FolderOwnerChoice owner);

// Whether the privilege `name` (such as L"SeRestorePrivilege") is enabled in this program's token.
bool PrivilegeEnabled(const wchar_t* name);

// Gives the file at `path` the Mark of the Web of a download from the Internet: a
// Zone.Identifier stream with ZoneId=3. True once the stream reads back so.
bool MarkAsDownloaded(const std::wstring& path);

// WinVerifyTrust's verdict on the embedded signature of the file at `path`, without any user
// interface or revocation check: 0 for a trusted signature, CERT_E_UNTRUSTEDROOT (or
// CERT_E_CHAINING) for an intact signature made with a certificate whose root this machine does
// not trust, TRUST_E_BAD_DIGEST
// for a file changed after it was signed, TRUST_E_NOSIGNATURE for none.
LONG VerifyEmbeddedSignature(const std::wstring& path);

// Runs the cmd script at `script` once as SYSTEM, in session 0, through a scheduled task of its
// own (defined in system-task.xml beside the script, system_task.h); waits up to `limitMs` for the
// file `done` to appear (the script writes it last) and deletes the task again. True when `done`
// appeared in time; otherwise `problem` says what went wrong.
bool RunScriptAsSystem(const std::wstring& script, const std::wstring& done, DWORD limitMs,
                       std::string* problem);

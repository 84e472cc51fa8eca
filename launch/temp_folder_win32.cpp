#include "launch/temp_folder_win32.h"

#include <windows.h>
// after windows.h, which they build on
#include <aclapi.h>

#include "launch/folder_trust.h"
#include "launch/held_step_win32.h"
#include "launch/kernel_function_win32.h"
#include "launch/win32_text.h"

using GetTempPath2WProc = DWORD(WINAPI*)(DWORD, LPWSTR);

bool TemporaryFolder(wchar_t (&buffer)[kLongPathBuffer], WideString& path) {
  auto getTempPath2 = reinterpret_cast<GetTempPath2WProc>(KernelFunction("GetTempPath2W"));
  const DWORD size = kLongPathBuffer - 1;
  DWORD length = getTempPath2 ? getTempPath2(size, buffer) : GetTempPathW(size, buffer);
  // A result larger than the buffer means nothing was written into it.
  return length != 0 && length <= size && path.Assign(AsUnits(buffer), length);
}

// The three principals an extraction folder may belong to.
struct TrustedSids {
  BYTE user[SECURITY_MAX_SID_SIZE];
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE administrators[SECURITY_MAX_SID_SIZE];
};

static bool CurrentUserSid(BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info;
  DWORD size = 0;
  bool ok = GetTokenInformation(token, TokenUser, &info, sizeof(info), &size) &&
            CopySid(SECURITY_MAX_SID_SIZE, sid, info.user.User.Sid);
  CloseHandle(token);
  return ok;
}

static bool WellKnown(WELL_KNOWN_SID_TYPE type, BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
  DWORD size = SECURITY_MAX_SID_SIZE;
  return CreateWellKnownSid(type, nullptr, sid, &size);
}

static bool LoadTrustedSids(TrustedSids& sids) {
  return CurrentUserSid(sids.user) && WellKnown(WinLocalSystemSid, sids.system) &&
         WellKnown(WinBuiltinAdministratorsSid, sids.administrators);
}

static bool CreateProtectedFolder(const WideString& folder, TrustedSids& sids) {
  union {
    ACL acl;
    BYTE bytes[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
  } list;
  const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeAcl(&list.acl, sizeof(list), ACL_REVISION) ||
      !AddAccessAllowedAceEx(&list.acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, sids.user) ||
      !AddAccessAllowedAceEx(&list.acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, sids.system) ||
      !AddAccessAllowedAceEx(&list.acl, ACL_REVISION, inherit, FILE_ALL_ACCESS,
                             sids.administrators) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, &list.acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
  return CreateDirectoryW(AsWide(folder), &attributes);
}

// Opens the folder itself, never what a link in its place points to, sharing it for reading and
// writing but not for deletion: while the handle is held the folder can be neither renamed, nor
// deleted and made again, nor replaced. The share mode binds others only because the handle also
// asks for traverse access (a handle with neither read, write nor delete access has its share
// mode ignored). A reparse point (a junction or link planted under the name) is refused, and so
// is a file of that name.
static HANDLE OpenFolder(const WideString& folder) {
  HANDLE handle = CreateFileW(AsWide(folder), FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

using GetVolumeInformationByHandleWProc = BOOL(WINAPI*)(HANDLE, LPWSTR, DWORD, LPDWORD, LPDWORD,
                                                        LPDWORD, LPWSTR, DWORD);

// Whether the volume the open folder lies on keeps access lists at all. FAT32, exFAT and some RAM
// disks keep none: a folder there has no owner, whatever GetSecurityInfo makes up for it. Looked up
// at run time (Windows Vista and later); where it is missing, or the volume cannot be asked, the
// volume is taken to keep them, as NTFS does.
static bool VolumeKeepsAccessLists(HANDLE folder) {
  auto getVolumeInformation = reinterpret_cast<GetVolumeInformationByHandleWProc>(
      KernelFunction("GetVolumeInformationByHandleW"));
  DWORD flags = 0;
  if (!getVolumeInformation ||
      !getVolumeInformation(folder, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
    return true;
  }
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

// The owner of the open folder, judged on the handle, so that it is the folder the files go into.
static FolderOwner OwnerOf(HANDLE folder, TrustedSids& sids) {
  if (!VolumeKeepsAccessLists(folder)) return FolderOwner::kNotRecorded;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  FolderOwner result = FolderOwner::kUnknown;
  // A descriptor may come without an owner, or with one that is no valid SID.
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) == ERROR_SUCCESS &&
      owner && IsValidSid(owner)) {
    bool trusted = EqualSid(owner, sids.user) || EqualSid(owner, sids.system) ||
                   EqualSid(owner, sids.administrators);
    result = trusted ? FolderOwner::kTrusted : FolderOwner::kOther;
  }
  if (descriptor) LocalFree(descriptor);
  return result;
}

HANDLE PrepareExtractionFolder(const WideString& folder, HoldWait& wait) {
  // Without the principals no access list can be built: a plain new folder is still made, but
  // an existing one cannot be vouched for.
  TrustedSids sids;
  bool known = LoadTrustedSids(sids);
  bool made = false;
  DWORD error = ERROR_SUCCESS;
  UntilNotHeld(wait, [&] {
    made = known ? CreateProtectedFolder(folder, sids) : CreateDirectoryW(AsWide(folder), nullptr);
    error = made ? ERROR_SUCCESS : GetLastError();
    return OutcomeOfOpen(made, error,
                         error == ERROR_ACCESS_DENIED ? NameLeftAt(folder) : NameLeft::kReadable);
  });
  FolderCreation creation = made                            ? FolderCreation::kCreated
                            : error == ERROR_ALREADY_EXISTS ? FolderCreation::kExists
                                                            : FolderCreation::kFailed;
  if (creation == FolderCreation::kFailed) return INVALID_HANDLE_VALUE;
  HANDLE handle = OpenFolder(folder);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  FolderOwner owner = !known ? FolderOwner::kUnknown : OwnerOf(handle, sids);
  bool runsAsSystem = known && EqualSid(sids.user, sids.system);
  if (!MayExtractInto(creation, known, owner, runsAsSystem)) {
    CloseHandle(handle);
    // A folder made now and refused goes again.
    if (creation == FolderCreation::kCreated) RemoveDirectoryW(AsWide(folder));
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

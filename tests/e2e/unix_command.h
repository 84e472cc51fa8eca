// Linux commands run from inside Wine, for the few arrangements a Windows program cannot make here,
// such as a symbolic link to /dev/full. Wine starts a Linux program when CreateProcessW is given
// one, in the Linux folder behind the given working directory; but it does not follow that
// program to its end (the process handle neither waits for it nor gives its exit code), so the
// helpers here look for the command's effect instead.
#pragma once

#include <cstddef>
#include <string>

bool IsRunningUnderWine();

// Whether Linux commands may be started at all; none is until this says so (the program's
// --without-linux-commands keeps it from saying so). Every helper below fails without starting
// anything while they may not.
void AllowLinuxCommands(bool allowed);

// Makes `name` in `folder` a symbolic link to the Linux path `target`; true once it is there.
bool MakeLinuxLink(const std::wstring& folder, const std::wstring& name, const std::string& target);

// Removes such a link (Wine's DeleteFileW refuses a link to a device); true once it is gone.
bool RemoveLinuxLink(const std::wstring& folder, const std::wstring& name);

// Removes `name` in `folder` with everything in it, links included, after unmounting whatever is
// mounted inside it (a case that ended early can leave a small file system mounted); true once
// it is gone.
bool RemoveTreeFromLinux(const std::wstring& folder, const std::wstring& name);

// Who owns a folder made from the Linux side.
enum class LinuxOwner {
  kThisUser,     // the Linux user Wine runs as
  kAnotherUser,  // user and group 65534 ("nobody")
};

// Makes the folder `name` in `folder`, owned by `owner`; true once it is there. It is made under
// another name and renamed when its owner is set, so it never appears with the wrong owner.
bool MakeLinuxFolder(const std::wstring& folder, const std::wstring& name, LinuxOwner owner);

// Mounts a new, empty tmpfs of `bytes` bytes on the empty folder `name` in `folder` (only root
// may); true once it is mounted.
bool MountSmallFileSystem(const std::wstring& folder, const std::wstring& name, size_t bytes);
// Unmounts it again, at once even while something still uses it; true once it is gone.
bool UnmountSmallFileSystem(const std::wstring& folder, const std::wstring& name);

// What `osslsigncode verify` prints for `name` in `folder`, checked against the certificate
// cert.pem there, followed by a line "exit N" with its exit status; empty when it did not finish in
// time.
std::string OsslsigncodeVerify(const std::wstring& folder, const std::wstring& name);

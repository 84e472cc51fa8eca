// Linux commands run from inside Wine, for the few arrangements a Windows program cannot make here,
// such as a symbolic link to /dev/full. Wine starts a Linux program when CreateProcessW is given
// one, in the Linux folder behind the given working directory; but it does not follow that
// program to its end (the process handle neither waits for it nor gives its exit code), so the
// helpers here look for the command's effect instead.
#pragma once

#include <string>

bool IsRunningUnderWine();

// Makes `name` in `folder` a symbolic link to the Linux path `target`; true once it is there.
bool MakeLinuxLink(const std::wstring& folder, const std::wstring& name, const std::string& target);

// Removes such a link (Wine's DeleteFileW refuses a link to a device); true once it is gone.
bool RemoveLinuxLink(const std::wstring& folder, const std::wstring& name);

// Removes `name` in `folder` with everything in it, links included; true once it is gone.
bool RemoveTreeFromLinux(const std::wstring& folder, const std::wstring& name);

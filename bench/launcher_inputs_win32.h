// The files the benchmarks run: packages of any size and launcher files built around them,
// streamed to disk in pieces so a 1 GiB payload never sits in memory.
#pragma once

#include <cstdint>
#include <string>

// The names every bench launcher file carries.
inline constexpr char16_t kBenchTitle[] = u"Vossimere bench";
inline constexpr char16_t kBenchFolderName[] = u"{6B1F3C52-9E0A-4D7B-8C21-5A7E0F3D9B64}";
inline constexpr char16_t kBenchInstallerName[] = u"setup.exe";
inline constexpr char16_t kBenchPackageName[] = u"bench.msi";

// `size` bytes of a pseudo-random sequence, so nothing below can take a shortcut on them.
bool WritePackage(const std::wstring& path, uint64_t size);

// A launcher file, written by the pack library's WriteLauncherFile: the stub, the installer right
// after it, the package at the next multiple of 16 and the trailer. When `fileLength` is not 0 the
// trailer is then moved to the last 128-byte boundary that still lets it end within `fileLength`
// bytes, and the space before it is left unwritten: a hole in the file system, so a file of almost
// 2 GiB costs neither time nor disk (the part before the trailer is read back whole, so this is
// meant for small payloads). Prints the layout and the extraction folder's name.
bool WriteLauncher(const std::wstring& path, const std::wstring& stubPath,
                   const std::wstring& installerPath, const std::wstring& packagePath,
                   uint64_t fileLength);

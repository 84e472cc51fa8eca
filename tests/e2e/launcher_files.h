// The ingredients of the launcher files the tests build: the launcher as built (Vossimere.exe, the
// stub every launcher file starts with), the fake installer and the NSIS-built installers, all
// named on the driver's command line, and packages of any size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "launch/messages.h"
#include "tests/support/launcher_builder.h"

// A path as the build passes it: Linux paths are reached through Wine's Z: drive.
std::wstring WindowsPathOf(const std::wstring& path);

// Reads both programs once; false when either cannot be read.
bool LoadPrograms(const std::wstring& launcherPath, const std::wstring& fakeInstallerPath);
const std::wstring& LauncherStubPath();
const std::vector<uint8_t>& LauncherStub();
const std::vector<uint8_t>& FakeInstaller();

// The installers NSIS built from tests/e2e/nsis_installer.nsi, for 64-bit and for 32-bit Windows;
// false when either cannot be read.
bool LoadNsisInstallers(const std::wstring& path64, const std::wstring& path32);
enum class InstallerBits { k64, k32 };
const std::vector<uint8_t>& NsisInstaller(InstallerBits bits);

// The DLL the tests plant beside a launcher file (tests/e2e/planted_dll.cpp), as built.
void SetPlantedDllPath(const std::wstring& path);
const std::wstring& PlantedDllPath();

// `size` bytes that differ from one seed to another and from one position to the next.
std::vector<uint8_t> PackageBytes(size_t size, uint32_t seed);

std::u16string Utf16(const std::wstring& text);
std::wstring Wide(const char16_t* text);
std::wstring Wide(const std::u16string& text);
// The text of one of the launcher's messages.
std::wstring Wide(const LauncherMessage& message);

// Writes `bytes` and then makes the file `length` bytes long without writing the rest, so the
// file system keeps the part between as a hole: a multi-gigabyte file at no cost in time or space.
// `tail` is then written so that it ends at `length`.
bool WriteSparseFile(const std::wstring& path, const std::vector<uint8_t>& bytes, uint64_t length,
                     const std::vector<uint8_t>& tail);

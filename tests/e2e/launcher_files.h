// The ingredients of the launcher files the tests build: the launcher as built (Vossimere.exe, the
// stub every launcher file starts with), the fake installer and the NSIS-built installers, all
// named on the driver's command line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "launch/messages.h"
#include "tests/support/launcher_builder.h"
#include "tests/support/sample_files.h"

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

// The stand-in for a virus scanner (tests/e2e/stand_in_scanner.cpp), as built.
void SetScannerPath(const std::wstring& path);
const std::wstring& ScannerPath();

// A launcher file of the usual contents (LauncherCase::UsualContents) signed with osslsigncode
// when the tests were built, and the self-signed certificate of the test publisher it was signed
// with.
void SetSigningFixtures(const std::wstring& signedLauncherPath,
                        const std::wstring& certificatePath);
const std::wstring& SignedLauncherPath();
const std::wstring& TestCertificatePath();

// The example installer program (examples/setup) and the example product's Windows Installer
// package made by wixl (examples/product).
void SetExampleProduct(const std::wstring& setupPath, const std::wstring& packagePath);
const std::wstring& ExampleSetupPath();
const std::wstring& ExamplePackagePath();

std::u16string Utf16(const std::wstring& text);
std::wstring Wide(const char16_t* text);
std::wstring Wide(const std::u16string& text);
// The text of one of the launcher's messages.
std::wstring Wide(const LauncherMessage& message);

#include "tests/e2e/launcher_files.h"

#include <windows.h>

#include "tests/e2e/test_folder.h"

static std::wstring& StubPath() {
  static std::wstring path;
  return path;
}

static std::vector<uint8_t>& StubBytes() {
  static std::vector<uint8_t> bytes;
  return bytes;
}

static std::vector<uint8_t>& InstallerBytes() {
  static std::vector<uint8_t> bytes;
  return bytes;
}

bool LoadPrograms(const std::wstring& launcherPath, const std::wstring& fakeInstallerPath) {
  StubPath() = launcherPath;
  StubBytes() = ReadBytes(launcherPath);
  InstallerBytes() = ReadBytes(fakeInstallerPath);
  return !StubBytes().empty() && !InstallerBytes().empty();
}

static std::vector<uint8_t>& NsisBytes(InstallerBits bits) {
  static std::vector<uint8_t> bytes[2];
  return bytes[bits == InstallerBits::k64 ? 0 : 1];
}

bool LoadNsisInstallers(const std::wstring& path64, const std::wstring& path32) {
  NsisBytes(InstallerBits::k64) = ReadBytes(path64);
  NsisBytes(InstallerBits::k32) = ReadBytes(path32);
  return !NsisBytes(InstallerBits::k64).empty() && !NsisBytes(InstallerBits::k32).empty();
}

const std::vector<uint8_t>& NsisInstaller(InstallerBits bits) { return NsisBytes(bits); }

static std::wstring& DllPath() {
  static std::wstring path;
  return path;
}

void SetPlantedDllPath(const std::wstring& path) { DllPath() = path; }
const std::wstring& PlantedDllPath() { return DllPath(); }

static std::wstring& ScannerProgramPath() {
  static std::wstring path;
  return path;
}

void SetScannerPath(const std::wstring& path) { ScannerProgramPath() = path; }
const std::wstring& ScannerPath() { return ScannerProgramPath(); }

// The paths of the fixtures named on the command line, by what they are.
enum class Fixture { kSignedLauncher, kTestCertificate, kExampleSetup, kExamplePackage, kCount };

static std::wstring& FixturePath(Fixture fixture) {
  static std::wstring paths[static_cast<int>(Fixture::kCount)];
  return paths[static_cast<int>(fixture)];
}

void SetSigningFixtures(const std::wstring& signedLauncherPath,
                        const std::wstring& certificatePath) {
  FixturePath(Fixture::kSignedLauncher) = signedLauncherPath;
  FixturePath(Fixture::kTestCertificate) = certificatePath;
}
const std::wstring& SignedLauncherPath() { return FixturePath(Fixture::kSignedLauncher); }
const std::wstring& TestCertificatePath() { return FixturePath(Fixture::kTestCertificate); }

void SetExampleProduct(const std::wstring& setupPath, const std::wstring& packagePath) {
  FixturePath(Fixture::kExampleSetup) = setupPath;
  FixturePath(Fixture::kExamplePackage) = packagePath;
}
const std::wstring& ExampleSetupPath() { return FixturePath(Fixture::kExampleSetup); }
const std::wstring& ExamplePackagePath() { return FixturePath(Fixture::kExamplePackage); }

const std::wstring& LauncherStubPath() { return StubPath(); }
const std::vector<uint8_t>& LauncherStub() { return StubBytes(); }
const std::vector<uint8_t>& FakeInstaller() { return InstallerBytes(); }

std::u16string Utf16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::wstring Wide(const char16_t* text) {
  std::u16string units(text);
  return std::wstring(units.begin(), units.end());
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring Wide(const LauncherMessage& message) { return Wide(message.text); }

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

std::wstring WindowsPathOf(const std::wstring& path) {
  std::wstring wide = path;
  if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
  for (wchar_t& unit : wide) {
    if (unit == L'/') unit = L'\\';
  }
  return wide;
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

const std::wstring& LauncherStubPath() { return StubPath(); }
const std::vector<uint8_t>& LauncherStub() { return StubBytes(); }
const std::vector<uint8_t>& FakeInstaller() { return InstallerBytes(); }

std::vector<uint8_t> PackageBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

std::u16string Utf16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::wstring Wide(const char16_t* text) {
  std::u16string units(text);
  return std::wstring(units.begin(), units.end());
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring Wide(const LauncherMessage& message) { return Wide(message.text); }

static bool WriteAt(HANDLE file, uint64_t offset, const std::vector<uint8_t>& bytes) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  DWORD written = 0;
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
         (bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                      &written, nullptr) &&
                            written == bytes.size()));
}

bool WriteSparseFile(const std::wstring& path, const std::vector<uint8_t>& bytes, uint64_t length,
                     const std::vector<uint8_t>& tail) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(length);
  bool ok = WriteAt(file, 0, bytes) && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) &&
            SetEndOfFile(file) && WriteAt(file, length - tail.size(), tail);
  CloseHandle(file);
  return ok;
}

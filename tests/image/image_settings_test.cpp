// The launcher image carries exactly the header settings it promises and imports nothing but
// system DLLs that the loader takes from the system directory (the KnownDLLs). The pack tool's
// image, as the Windows release ships it: a console program that imports system DLLs only and
// carries the project's version and its manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pack/format/pe_image.h"
#include "resources/version.h"
#include "tests/support/pe_imports.h"

namespace {

// The two images, as the command line names them.
std::wstring& LauncherImagePath() {
  static std::wstring path;
  return path;
}

std::wstring& PackToolImagePath() {
  static std::wstring path;
  return path;
}

std::vector<uint8_t> ImageBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> LowerCaseImports(const PeImage& image, const std::vector<uint8_t>& bytes,
                                          std::string& problem) {
  std::vector<std::string> imports = ImportedDllNames(image, bytes.data(), bytes.size(), &problem);
  for (std::string& name : imports) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  }
  return imports;
}

class LauncherImage : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = ImageBytes(LauncherImagePath());
    ASSERT_FALSE(bytes_.empty()) << LauncherImagePath();
    std::string problem;
    auto image = ReadPeImage(bytes_.data(), bytes_.size(), &problem);
    ASSERT_TRUE(image) << problem;
    image_ = *image;
  }
  std::vector<uint8_t> bytes_;
  PeImage image_;
};

}  // namespace

TEST_F(LauncherImage, IsA64BitGuiProgramForWindowsServer2003AndLater) {
  EXPECT_EQ(image_.machine, kMachineAmd64);
  EXPECT_EQ(image_.characteristics, 0x0022);  // executable, large address aware, nothing else
  EXPECT_EQ(image_.subsystem, kSubsystemWindowsGui);
  EXPECT_EQ(image_.majorSubsystemVersion, 5);
  EXPECT_EQ(image_.minorSubsystemVersion, 2);
  EXPECT_EQ(image_.majorOperatingSystemVersion, 5);
  EXPECT_EQ(image_.minorOperatingSystemVersion, 2);
  EXPECT_NE(image_.addressOfEntryPoint, 0u);
}

TEST_F(LauncherImage, IsRelocatableNxCompatibleAndTerminalServerAware) {
  EXPECT_EQ(image_.dllCharacteristics, 0x8140);
  EXPECT_NE(image_.Directory(kBaseRelocationDirectory).size, 0u);
}

TEST_F(LauncherImage, ReservesOneMiBOfStackAndHeapCommittingOnePage) {
  EXPECT_EQ(image_.sizeOfStackReserve, 0x100000u);
  EXPECT_EQ(image_.sizeOfStackCommit, 0x1000u);
  EXPECT_EQ(image_.sizeOfHeapReserve, 0x100000u);
  EXPECT_EQ(image_.sizeOfHeapCommit, 0x1000u);
}

// The four system DLLs and nothing else: in particular no C runtime, neither msvcrt.dll, which
// applications are not to rely on, nor the api-ms-win-crt-* sets.
TEST_F(LauncherImage, ImportsOnlyKnownSystemDlls) {
  const std::vector<std::string> known = {"kernel32.dll", "user32.dll", "shell32.dll",
                                          "advapi32.dll"};
  std::string problem;
  std::vector<std::string> imports = LowerCaseImports(image_, bytes_, problem);
  EXPECT_TRUE(problem.empty()) << problem;
  ASSERT_FALSE(imports.empty());
  for (const std::string& name : imports) {
    EXPECT_NE(std::find(known.begin(), known.end(), name), known.end()) << name;
  }
}

// The launcher's size is a promise to publishers: at most 20,480 bytes, unsigned.
TEST_F(LauncherImage, IsAtMost20480Bytes) { EXPECT_LE(bytes_.size(), 20480u); }

TEST_F(LauncherImage, CarriesNoPayloadAndNoSignatureOfItsOwn) {
  EXPECT_FALSE(image_.IsSigned());
  EXPECT_EQ(image_.rawDataEnd, bytes_.size());
}

namespace {

class PackToolImage : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = ImageBytes(PackToolImagePath());
    ASSERT_FALSE(bytes_.empty()) << PackToolImagePath();
    std::string problem;
    auto image = ReadPeImage(bytes_.data(), bytes_.size(), &problem);
    ASSERT_TRUE(image) << problem;
    image_ = *image;
  }

  // One value of the version information's English string table, as Explorer's Properties and
  // PowerShell's VersionInfo read it.
  static std::wstring VersionString(const wchar_t* name) {
    const wchar_t* path = PackToolImagePath().c_str();
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    if (size == 0) return L"(no version information)";
    std::vector<uint8_t> info(size);
    if (!GetFileVersionInfoW(path, 0, size, info.data())) return L"(unreadable)";
    void* value = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) return L"";
    return std::wstring(static_cast<const wchar_t*>(value));
  }

  std::vector<uint8_t> bytes_;
  PeImage image_;
};

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + std::strlen(ascii)); }

}  // namespace

// A console program with no link time stamp, so one commit builds the same file.
TEST_F(PackToolImage, IsA64BitConsoleProgramWithoutATimeStamp) {
  EXPECT_EQ(image_.machine, kMachineAmd64);
  EXPECT_EQ(image_.subsystem, kSubsystemWindowsCui);
  EXPECT_EQ(image_.timeDateStamp, 0u);
  EXPECT_FALSE(image_.IsSigned());
}

// The C runtime it uses is the system's msvcrt.dll, and its hashes and signature checks the
// system's bcrypt.dll and crypt32.dll; no DLL of the compiler's (libstdc++, libgcc, winpthread)
// has to travel with it.
TEST_F(PackToolImage, ImportsOnlySystemDlls) {
  const std::vector<std::string> system = {"kernel32.dll", "msvcrt.dll",  "advapi32.dll",
                                           "user32.dll",   "shell32.dll", "ntdll.dll",
                                           "bcrypt.dll",   "crypt32.dll"};
  std::string problem;
  std::vector<std::string> imports = LowerCaseImports(image_, bytes_, problem);
  EXPECT_TRUE(problem.empty()) << problem;
  ASSERT_FALSE(imports.empty());
  for (const std::string& name : imports) {
    EXPECT_NE(std::find(system.begin(), system.end(), name), system.end()) << name;
  }
}

TEST_F(PackToolImage, VersionInformationCarriesTheProjectsVersion) {
  EXPECT_EQ(VersionString(L"FileVersion"), Wide(VOSSIMERE_VERSION_TEXT));
  EXPECT_EQ(VersionString(L"ProductVersion"), Wide(VOSSIMERE_VERSION_TEXT));
  EXPECT_EQ(VersionString(L"OriginalFilename"), L"vossimere-pack.exe");
  EXPECT_EQ(VersionString(L"ProductName"), L"Vossimere");

  const wchar_t* path = PackToolImagePath().c_str();
  std::vector<uint8_t> info(GetFileVersionInfoSizeW(path, nullptr));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS,
            static_cast<DWORD>(VOSSIMERE_VERSION_MAJOR << 16 | VOSSIMERE_VERSION_MINOR));
  EXPECT_EQ(fixed->dwFileVersionLS,
            static_cast<DWORD>(VOSSIMERE_VERSION_PATCH << 16 | VOSSIMERE_VERSION_TWEAK));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

// The manifest as the loader finds it: resource 1 of type RT_MANIFEST.
TEST_F(PackToolImage, ManifestRunsAsInvokerWithLongPathsAndUtf8) {
  HMODULE module = LoadLibraryExW(PackToolImagePath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  std::string manifest;
  if (found) {
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    if (data) manifest.assign(data, SizeofResource(module, found));
  }
  FreeLibrary(module);
  ASSERT_FALSE(manifest.empty());
  for (const char* wanted : {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
                             ">true</longPathAware>", ">UTF-8</activeCodePage>",
                             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"}) {
    EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted << "\n" << manifest;
  }
}

//   image_tests <Vossimere.exe> <vossimere-pack.exe> [GoogleTest flags]
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: image_tests <Vossimere.exe> <vossimere-pack.exe>\n");
    return 2;
  }
  LauncherImagePath() = argv[1];
  PackToolImagePath() = argv[2];
  return RUN_ALL_TESTS();
}

// A launcher file with the publisher's icon and version information (vossimere-pack build --icon,
// --file-version...) as the platform shows it: the version strings through the version API, the
// icon through the shell's own extraction, and the launcher's own strings still where it loads
// them. (A file of its own: resources_test.cpp has a ResourceEntry of its own.)
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"
#include "tests/support/sample_files.h"

namespace {

using PublisherResources = LauncherCase;

std::wstring VersionString(const std::vector<uint8_t>& info, const std::wstring& key) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring path = L"\\StringFileInfo\\040904b0\\" + key;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value) return L"<missing>";
  std::wstring text(static_cast<const wchar_t*>(value), length);
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

// For the test's output: UTF-8 whatever the console's code page.
std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                        nullptr, nullptr);
  return bytes;
}

// The width of the colour bitmap of the icon the shell extracts at `pixels`, or 0.
int ExtractedIconWidth(const std::wstring& path, int pixels) {
  HICON icon = nullptr;
  UINT id = 0;
  UINT count = PrivateExtractIconsW(path.c_str(), 0, pixels, pixels, &icon, &id, 1, 0);
  if (count != 1 || !icon) return 0;
  ICONINFO info{};
  int width = 0;
  if (GetIconInfo(icon, &info)) {
    BITMAP bitmap{};
    if (GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap))
      width = bitmap.bmWidth;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
  DestroyIcon(icon);
  return width;
}

TEST_F(PublisherResources, VersionApiAndShellShowThePublishersIdentity) {
  LauncherContents contents =
      SampleContents(ApplyAppearance(LauncherStub(), SampleAppearance()), FakeInstaller());
  std::wstring path = SaveLauncherFile(BuildLauncher(contents), L"Example Setup.exe");

  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
  ASSERT_EQ(fixedLength, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000011u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020005u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, 1u);  // VFT_APP
  std::printf("fixed file version: %u.%u.%u.%u, product version: %u.%u.%u.%u\n",
              HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS),
              HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
              HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
  WORD* translation = nullptr;
  UINT translationLength = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &translationLength));
  ASSERT_EQ(translationLength, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04B0);
  std::printf("translation: %04x %04x\n", translation[0], translation[1]);
  const std::pair<const wchar_t*, const wchar_t*> expected[] = {
      {L"CompanyName", L"Example Publisher"},
      {L"FileDescription", L"Example Product Setup"},
      {L"ProductName", L"Example Product \u00e9"}};
  for (const auto& string : expected) {
    std::wstring read = VersionString(info, string.first);
    EXPECT_EQ(read, string.second) << string.first;
    // Shown in the test's output, for the record of what the version API read.
    std::printf("%s: %s\n", Utf8(string.first).c_str(), Utf8(read).c_str());
  }
  EXPECT_EQ(VersionString(info, L"InternalName"), L"<missing>");

  // One icon group; the shell picks the image for each size from it, the PNG at 256 pixels.
  EXPECT_EQ(ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0), 1u);
  for (int pixels : {16, 32, 256}) {
    EXPECT_EQ(ExtractedIconWidth(path, pixels), pixels) << pixels << " pixels";
    std::printf("icon at %d pixels: %d pixels wide\n", pixels, ExtractedIconWidth(path, pixels));
  }

  // The strings the launcher loads at its start are still there.
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  wchar_t buffer[100];
  int length = LoadStringW(module, 103, buffer, 100);
  EXPECT_EQ(std::wstring(buffer, length > 0 ? length : 0), L"Vossimere");
  length = LoadStringW(module, 109, buffer, 100);
  EXPECT_EQ(std::wstring(buffer, length > 0 ? length : 0), L"VOSSIMERE");
  EXPECT_NE(LoadMenuW(module, MAKEINTRESOURCEW(109)), nullptr);
  FreeLibrary(module);
}

}  // namespace

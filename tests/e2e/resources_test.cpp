// The resources of Vossimere.exe as the platform reads them back: the string table through
// LoadStringW, the version information through the version API and as stored, the menu, the icons
// and the manifest, and the full list of resources through the enumeration functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "resources/version.h"
#include "tests/e2e/launcher_files.h"

namespace {

class Resources : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryExW(LauncherStubPath().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  static void TearDownTestSuite() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(module_, nullptr) << "Vossimere.exe not loaded as data"; }

  // The bytes of one resource in the given language; empty when there is none.
  static std::vector<uint8_t> ResourceBytes(const wchar_t* type, WORD id, WORD language) {
    HRSRC found = FindResourceExW(module_, type, MAKEINTRESOURCEW(id), language);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const uint8_t* data = static_cast<const uint8_t*>(LockResource(loaded));
    if (!data) return {};
    return std::vector<uint8_t>(data, data + SizeofResource(module_, found));
  }

  static HMODULE module_;
};

HMODULE Resources::module_ = nullptr;

constexpr WORD kJapanese = 0x0411;
constexpr WORD kEnglish = 0x0409;

std::wstring LoadedString(HMODULE module, UINT id) {
  wchar_t buffer[100];
  int length = LoadStringW(module, id, buffer, 100);
  return std::wstring(buffer, length > 0 ? length : 0);
}

TEST_F(Resources, StringTableHoldsTheWindowTitleAndClassNameAndNothingElse) {
  EXPECT_EQ(LoadedString(module_, 103), L"Vossimere");
  EXPECT_EQ(LoadedString(module_, 109), L"VOSSIMERE");
  // The other fourteen strings of block 7 are empty.
  for (UINT id = 96; id <= 111; ++id) {
    if (id == 103 || id == 109) continue;
    EXPECT_EQ(LoadedString(module_, id), L"") << "string " << id;
  }
}

// ---- Version information

std::wstring VersionString(const std::vector<uint8_t>& info, const std::wstring& key) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring path = L"\\StringFileInfo\\041104b0\\" + key;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value) return L"<missing>";
  std::wstring text(static_cast<const wchar_t*>(value), length);
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

TEST_F(Resources, VersionApiReportsVersionOnePointOneAndTheJapaneseStrings) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(LauncherStubPath().c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(LauncherStubPath().c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
  ASSERT_EQ(fixedLength, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // The project's version (CMakeLists.txt), as numbers and as text.
  const DWORD versionMS = VOSSIMERE_VERSION_MAJOR << 16 | VOSSIMERE_VERSION_MINOR;
  const DWORD versionLS = VOSSIMERE_VERSION_PATCH << 16 | VOSSIMERE_VERSION_TWEAK;
  const std::wstring versionText = Wide(std::u16string(u"" VOSSIMERE_VERSION_TEXT));
  EXPECT_EQ(fixed->dwFileVersionMS, versionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, versionLS);
  EXPECT_EQ(fixed->dwProductVersionMS, versionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, versionLS);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 0x00040004u);
  EXPECT_EQ(fixed->dwFileType, 1u);
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);

  EXPECT_EQ(VersionString(info, L"FileDescription"), L"Corvalinth");
  EXPECT_EQ(VersionString(info, L"FileVersion"), versionText);
  EXPECT_EQ(VersionString(info, L"InternalName"), L"Vossimere.exe");
  EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"Vossimere.exe");
  EXPECT_EQ(VersionString(info, L"ProductName"), L"Corvalinth");
  EXPECT_EQ(VersionString(info, L"ProductVersion"), versionText);

  WORD* translation = nullptr;
  UINT translationLength = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &translationLength));
  ASSERT_EQ(translationLength, 4u) << "exactly one language and code page pair";
  EXPECT_EQ(translation[0], 0x0411);
  EXPECT_EQ(translation[1], 0x04B0);
}

// One block of the stored version information: key, value and the blocks inside it.
struct VersionBlock {
  std::wstring key;
  std::vector<uint8_t> value;
  std::vector<VersionBlock> children;
};

size_t NextDword(size_t offset) { return (offset + 3) & ~size_t{3}; }

uint16_t Word(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

VersionBlock ReadVersionBlock(const uint8_t* bytes, size_t available) {
  VersionBlock block;
  if (available < 6) return block;
  size_t length = std::min<size_t>(Word(bytes), available);
  size_t valueLength = Word(bytes + 2);
  bool text = Word(bytes + 4) == 1;
  size_t at = 6;
  while (at + 1 < length && Word(bytes + at) != 0) {
    block.key += static_cast<wchar_t>(Word(bytes + at));
    at += 2;
  }
  at = NextDword(at + 2);
  size_t valueBytes = text ? valueLength * 2 : valueLength;
  if (at + valueBytes <= length) block.value.assign(bytes + at, bytes + at + valueBytes);
  at = NextDword(at + valueBytes);
  while (at + 6 <= length) {
    size_t childLength = Word(bytes + at);
    if (childLength == 0) break;
    block.children.push_back(ReadVersionBlock(bytes + at, length - at));
    at = NextDword(at + childLength);
  }
  return block;
}

std::vector<std::wstring> KeysOf(const VersionBlock& block) {
  std::vector<std::wstring> keys;
  for (const VersionBlock& child : block.children) keys.push_back(child.key);
  return keys;
}

TEST_F(Resources, StoredVersionInformationHoldsOneJapaneseTableWithTheEntriesInOrder) {
  std::vector<uint8_t> stored = ResourceBytes(MAKEINTRESOURCEW(16), 1, kJapanese);
  ASSERT_FALSE(stored.empty());
  VersionBlock root = ReadVersionBlock(stored.data(), stored.size());
  EXPECT_EQ(root.key, L"VS_VERSION_INFO");
  ASSERT_EQ(KeysOf(root), (std::vector<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));

  const VersionBlock& strings = root.children[0];
  ASSERT_EQ(KeysOf(strings), std::vector<std::wstring>{L"041104b0"});
  EXPECT_EQ(KeysOf(strings.children[0]),
            (std::vector<std::wstring>{L"CompanyName", L"FileDescription", L"FileVersion",
                                       L"InternalName", L"LegalCopyright", L"OriginalFilename",
                                       L"ProductName", L"ProductVersion"}));

  const VersionBlock& variables = root.children[1];
  ASSERT_EQ(KeysOf(variables), std::vector<std::wstring>{L"Translation"});
  EXPECT_EQ(variables.children[0].value, (std::vector<uint8_t>{0x11, 0x04, 0xB0, 0x04}));
}

// ---- Menu, icons, manifest

std::vector<uint8_t> Utf16Bytes(std::initializer_list<std::u16string> parts) {
  std::vector<uint8_t> bytes;
  for (const std::u16string& part : parts) {
    for (char16_t unit : part) {
      bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
      bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
  }
  return bytes;
}

TEST_F(Resources, MenuHoldsOnePopUpWithTheOneExitItem) {
  // A standard template: header version 0 and offset 0; the pop-up marked as the last top-level
  // entry (MF_POPUP | MF_END), the item as the last of the pop-up (MF_END) with id 105.
  std::vector<uint8_t> expected =
      Utf16Bytes({std::u16string(u"\0\0", 2), u"\x0090", std::u16string(u"ファイル(&F)", 8) + u'\0',
                  u"\x0080", u"\x0069", u"アプリケーションの終了(&X)", std::u16string(1, u'\0')});
  EXPECT_EQ(ResourceBytes(MAKEINTRESOURCEW(4), 109, kJapanese), expected);

  HMENU menu = LoadMenuW(module_, MAKEINTRESOURCEW(109));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 1);
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetMenuItemCount(popup), 1);
  EXPECT_EQ(GetMenuItemID(popup, 0), 105u);
  DestroyMenu(menu);
}

TEST_F(Resources, IconGroupHoldsThreeSixteenColourImagesOfSixteenThirtyTwoAndFortyEightPixels) {
  std::vector<uint8_t> group = ResourceBytes(MAKEINTRESOURCEW(14), 129, kJapanese);
  ASSERT_EQ(group.size(), 6u + 3 * 14);
  EXPECT_EQ(Word(&group[0]), 0);  // reserved
  EXPECT_EQ(Word(&group[2]), 1);  // icons
  EXPECT_EQ(Word(&group[4]), 3);  // images
  const uint32_t sizes[3] = {296, 744, 1640};
  for (int image = 0; image < 3; ++image) {
    const uint8_t* entry = &group[6 + 14 * image];
    int pixels = 16 * (image + 1);
    SCOPED_TRACE(pixels);
    EXPECT_EQ(entry[0], pixels);
    EXPECT_EQ(entry[1], pixels);
    EXPECT_EQ(entry[2], 16);  // colours
    EXPECT_EQ(entry[3], 0);
    EXPECT_EQ(Word(entry + 4), 1);  // planes
    EXPECT_EQ(Word(entry + 6), 4);  // bits per pixel
    uint32_t bytes = entry[8] | (entry[9] << 8) | (entry[10] << 16) | (uint32_t{entry[11]} << 24);
    EXPECT_EQ(bytes, sizes[image]);
    EXPECT_EQ(Word(entry + 12), image + 1);  // RT_ICON id

    std::vector<uint8_t> icon = ResourceBytes(MAKEINTRESOURCEW(3), image + 1, kJapanese);
    ASSERT_EQ(icon.size(), sizes[image]);
    BITMAPINFOHEADER header;
    std::memcpy(&header, icon.data(), sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, pixels);
    EXPECT_EQ(header.biHeight, 2 * pixels);  // the colour image and the mask
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  }
}

TEST_F(Resources, ManifestAsksForTheInvokersRightsAndNothingElse) {
  std::vector<uint8_t> bytes = ResourceBytes(MAKEINTRESOURCEW(24), 1, kEnglish);
  std::string manifest(bytes.begin(), bytes.end());
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
            std::string::npos)
      << manifest;
  for (const char* absent : {"dependency", "compatibility", "dpiAware", "dpiAwareness"}) {
    EXPECT_EQ(manifest.find(absent), std::string::npos) << absent;
  }
}

// ---- Every resource, by type, name and language

struct ResourceEntry {
  std::wstring type;
  std::wstring name;
  WORD language;
  bool operator<(const ResourceEntry& other) const {
    return std::tie(type, name, language) < std::tie(other.type, other.name, other.language);
  }
  bool operator==(const ResourceEntry& other) const {
    return std::tie(type, name, language) == std::tie(other.type, other.name, other.language);
  }
};

void PrintTo(const ResourceEntry& entry, std::ostream* out) {
  *out << std::string(entry.type.begin(), entry.type.end()) << '/'
       << std::string(entry.name.begin(), entry.name.end()) << '/' << std::hex << entry.language
       << std::dec;
}

// "#n" for a numbered resource, the name itself otherwise.
std::wstring ResourceId(const wchar_t* id) {
  if (IS_INTRESOURCE(id)) return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(id));
  return id;
}

struct Enumeration {
  std::vector<ResourceEntry> entries;
  std::wstring type;
  std::wstring name;
};

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
  Enumeration* all = reinterpret_cast<Enumeration*>(context);
  all->entries.push_back({all->type, all->name, language});
  return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
  Enumeration* all = reinterpret_cast<Enumeration*>(context);
  all->name = ResourceId(name);
  EnumResourceLanguagesW(module, type, name, AddLanguage, context);
  return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR context) {
  Enumeration* all = reinterpret_cast<Enumeration*>(context);
  all->type = ResourceId(type);
  EnumResourceNamesW(module, type, AddName, context);
  return TRUE;
}

TEST_F(Resources, EnumerationFindsExactlyTheJapaneseResourcesAndTheEnglishManifest) {
  Enumeration all;
  ASSERT_TRUE(EnumResourceTypesW(module_, AddType, reinterpret_cast<LONG_PTR>(&all)));
  std::sort(all.entries.begin(), all.entries.end());

  std::vector<ResourceEntry> expected = {
      {L"#3", L"#1", kJapanese},  // RT_ICON 1 to 3
      {L"#3", L"#2", kJapanese},    {L"#3", L"#3", kJapanese},
      {L"#4", L"#109", kJapanese},   // RT_MENU
      {L"#6", L"#7", kJapanese},     // RT_STRING block 7
      {L"#14", L"#129", kJapanese},  // RT_GROUP_ICON
      {L"#16", L"#1", kJapanese},    // RT_VERSION
      {L"#24", L"#1", kEnglish},     // RT_MANIFEST
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all.entries, expected);
}

}  // namespace

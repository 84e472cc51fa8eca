#include "tests/support/synthetic_image.h"

#include <cstring>

#include "launch/anchor_record.h"
#include "pack/format/launcher_appearance.h"
#include "resources/resource_ids.h"

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutSection(std::vector<uint8_t>& bytes, size_t at, const char* name, uint32_t rva,
                uint32_t rawAt, uint32_t characteristics) {
  std::memcpy(bytes.data() + at, name, std::strlen(name));
  StoreU32(bytes.data() + at + 8, 0x200);   // VirtualSize
  StoreU32(bytes.data() + at + 12, rva);    // VirtualAddress
  StoreU32(bytes.data() + at + 16, 0x200);  // SizeOfRawData
  StoreU32(bytes.data() + at + 20, rawAt);  // PointerToRawData
  StoreU32(bytes.data() + at + 36, characteristics);
}

// A resource tree at file 0x500 (RVA 0x2100) with one RT_STRING block, 7 in language 0x0411, as
// the resource compiler lays it out: root, type and name directories, then the data entry; the
// sixteen counted strings at RVA 0x2190.
void PutStringTable(std::vector<uint8_t>& bytes, const std::u16string& title) {
  const size_t tree = 0x500;
  const uint32_t subdirectory = 0x80000000u;
  Put16(bytes, tree + 14, 1);      // one numbered entry in each directory
  StoreU32(&bytes[tree + 16], 6);  // RT_STRING
  StoreU32(&bytes[tree + 20], subdirectory | 24);
  Put16(bytes, tree + 24 + 14, 1);
  StoreU32(&bytes[tree + 40], 7);  // block 7: strings 96 to 111
  StoreU32(&bytes[tree + 44], subdirectory | 48);
  Put16(bytes, tree + 48 + 14, 1);
  StoreU32(&bytes[tree + 64], 0x0411);
  StoreU32(&bytes[tree + 68], 72);
  size_t at = 0x590;
  const std::u16string texts[16] = {{},    {}, {}, {}, {}, {}, {},
                                    title, {}, {}, {}, {}, {}, u"VOSSIMERE"};
  for (const std::u16string& text : texts) {
    Put16(bytes, at, static_cast<uint16_t>(text.size()));
    for (size_t i = 0; i < text.size(); ++i) Put16(bytes, at + 2 + 2 * i, text[i]);
    at += 2 + 2 * text.size();
  }
  StoreU32(&bytes[tree + 72], 0x2190);  // the data entry: RVA and size
  StoreU32(&bytes[tree + 76], static_cast<uint32_t>(at - 0x590));
}

void AddResource(ResourceEntry& root, uint32_t type, uint32_t id, uint32_t language,
                 std::vector<uint8_t> data) {
  ResourceEntry leaf;
  leaf.id = language;
  leaf.data = std::move(data);
  root.FindOrAdd(type).FindOrAdd(id).children.push_back(std::move(leaf));
}

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

// Sections .text, .rsrc and .reloc, the resources built by the tool's own writer.
void UseResourceSection(std::vector<uint8_t>& bytes) {
  const size_t o = kSyntheticOptionalHeader;
  std::vector<uint8_t> rsrc = WriteResourceTree(SyntheticLauncherResources(), 0x2000);
  const uint32_t rsrcRaw = static_cast<uint32_t>((rsrc.size() + 0x1FF) / 0x200 * 0x200);
  const uint32_t rsrcPages = (static_cast<uint32_t>(rsrc.size()) + 0xFFF) / 0x1000 * 0x1000;
  const uint32_t relocRva = 0x2000 + rsrcPages;
  bytes.resize(0x400);
  bytes.resize(0x400 + rsrcRaw + 0x200, 0);
  std::copy(rsrc.begin(), rsrc.end(), bytes.begin() + 0x400);
  // One relocation block: page 0x1000, one 64-bit fix-up at its offset 8.
  const size_t reloc = 0x400 + rsrcRaw;
  StoreU32(&bytes[reloc], 0x1000);
  StoreU32(&bytes[reloc + 4], 12);
  Put16(bytes, reloc + 8, 0xA008);
  const size_t sections = o + 112 + 8 * 16;
  std::memset(&bytes[sections], 0, 3 * 40);
  Put16(bytes, kSyntheticPeOffset + 6, 3);
  PutSection(bytes, sections, ".text", 0x1000, 0x200, 0x60000020);
  PutSection(bytes, sections + 40, ".rsrc", 0x2000, 0x400, 0x40000040);
  StoreU32(&bytes[sections + 40 + 8], static_cast<uint32_t>(rsrc.size()));
  StoreU32(&bytes[sections + 40 + 16], rsrcRaw);
  PutSection(bytes, sections + 80, ".reloc", relocRva, reloc, 0x42000040);
  StoreU32(&bytes[sections + 80 + 8], 12);
  StoreU32(&bytes[o + 8], rsrcRaw + 0x200);     // SizeOfInitializedData
  StoreU32(&bytes[o + 56], relocRva + 0x1000);  // SizeOfImage
  StoreU32(&bytes[o + 112 + 8], 0);             // no imports
  StoreU32(&bytes[o + 112 + 12], 0);
  StoreU32(&bytes[o + 112 + 16], 0x2000);
  StoreU32(&bytes[o + 112 + 20], static_cast<uint32_t>(rsrc.size()));
  StoreU32(&bytes[o + 112 + 40], relocRva);
  StoreU32(&bytes[o + 112 + 44], 12);
}

}  // namespace

ResourceEntry SyntheticLauncherResources() {
  ResourceEntry root;
  std::vector<uint8_t> strings;
  const std::u16string texts[16] = {{},           {}, {}, {}, {}, {}, {},
                                    u"Vossimere", {}, {}, {}, {}, {}, u"VOSSIMERE"};
  for (const std::u16string& text : texts) {
    strings.push_back(static_cast<uint8_t>(text.size()));
    strings.push_back(0);
    std::vector<uint8_t> units = Utf16Bytes(text);
    strings.insert(strings.end(), units.begin(), units.end());
  }
  AddResource(root, kRtString, IDS_WINDOW_TITLE / 16 + 1, 0x0411, strings);
  AddResource(root, kRtMenu, IDR_MAIN_MENU, 0x0411, LauncherMenuBytes());
  // A 16-pixel, 4-bit icon: header, 16 colours, the colour bitmap and the mask.
  std::vector<uint8_t> icon(40 + 64 + 128 + 64, 0);
  StoreU32(&icon[0], 40);
  StoreU32(&icon[4], 16);
  StoreU32(&icon[8], 32);
  Put16(icon, 12, 1);
  Put16(icon, 14, 4);
  AddResource(root, kRtIcon, 1, 0x0411, icon);
  std::vector<uint8_t> group{0, 0, 1, 0, 1, 0, 16, 16, 16, 0, 1, 0, 4, 0};
  for (int shift = 0; shift < 32; shift += 8)
    group.push_back(static_cast<uint8_t>(icon.size() >> shift));
  group.push_back(1);
  group.push_back(0);
  AddResource(root, kRtGroupIcon, IDI_APP_ICON, 0x0411, group);
  VersionInfo version;
  version.fileVersion = version.productVersion = {1, 1, 0, 1};
  version.language = 0x0411;
  version.strings = {{u"CompanyName", u"Corvalinth Project"}, {u"ProductName", u"Corvalinth"}};
  AddResource(root, kRtVersion, 1, 0x0411, EncodeVersionInfo(version));
  AddResource(root, kRtManifest, 1, 0x0409, LauncherManifestBytes());
  return root;
}

std::vector<uint8_t> SyntheticImage(const SyntheticImageOptions& options) {
  std::vector<uint8_t> bytes(kSyntheticSize, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  StoreU32(&bytes[60], kSyntheticPeOffset);
  std::memcpy(&bytes[kSyntheticPeOffset], "PE\0\0", 4);
  const size_t optionalSize = 112 + 8 * options.directoryCount;
  Put16(bytes, kSyntheticPeOffset + 4, 0x8664);  // Machine: AMD64
  Put16(bytes, kSyntheticPeOffset + 6, 2);       // NumberOfSections
  Put16(bytes, kSyntheticPeOffset + 20, static_cast<uint16_t>(optionalSize));
  Put16(bytes, kSyntheticPeOffset + 22, options.characteristics);

  const size_t o = kSyntheticOptionalHeader;
  Put16(bytes, o, options.magic);
  bytes[o + 2] = 2;  // linker 2.40
  bytes[o + 3] = 40;
  StoreU32(&bytes[o + 16], 0x1000);          // AddressOfEntryPoint
  StoreU64(&bytes[o + 24], 0x140000000ull);  // ImageBase
  StoreU32(&bytes[o + 32], 0x1000);          // SectionAlignment
  StoreU32(&bytes[o + 36], 0x200);           // FileAlignment
  Put16(bytes, o + 40, 6);                   // operating system 6.1
  Put16(bytes, o + 42, 1);
  Put16(bytes, o + 48, 6);  // subsystem 6.1
  Put16(bytes, o + 50, 1);
  StoreU32(&bytes[o + 56], 0x3000);    // SizeOfImage
  StoreU32(&bytes[o + 60], 0x200);     // SizeOfHeaders
  Put16(bytes, o + 68, 2);             // Subsystem: Windows GUI
  Put16(bytes, o + 70, 0x8160);        // DllCharacteristics
  StoreU64(&bytes[o + 72], 0x100000);  // stack reserve, commit
  StoreU64(&bytes[o + 80], 0x1000);
  StoreU64(&bytes[o + 88], 0x100000);  // heap reserve, commit
  StoreU64(&bytes[o + 96], 0x1000);
  StoreU32(&bytes[o + 108], options.directoryCount);
  const size_t importCount = options.imports.size();
  if (options.directoryCount > 1 && importCount) {
    StoreU32(&bytes[o + 112 + 8], 0x2000);  // import directory
    StoreU32(&bytes[o + 112 + 12], static_cast<uint32_t>(20 * (importCount + 1)));
  }

  if (options.directoryCount > 2 && options.resources) {
    StoreU32(&bytes[o + 112 + 16], 0x2100);  // resource directory
    StoreU32(&bytes[o + 112 + 20], 0x100);
  }

  const size_t sections = kSyntheticOptionalHeader + optionalSize;
  PutSection(bytes, sections, ".text", 0x1000, 0x200, 0x60000020);
  PutSection(bytes, sections + 40, ".idata", 0x2000, 0x400, 0xC0000040);
  std::memset(&bytes[0x200], static_cast<int>(options.textFill), 0x200);

  // Import descriptors at RVA 0x2000 (file 0x400), then the DLL names.
  uint32_t nameRva = 0x2000 + static_cast<uint32_t>(20 * (importCount + 1));
  for (size_t i = 0; i < importCount; ++i) {
    StoreU32(&bytes[0x400 + 20 * i + 12], nameRva);
    StoreU32(&bytes[0x400 + 20 * i + 16], 0x2180);  // FirstThunk: an empty thunk list
    const std::string& name = options.imports[i];
    std::memcpy(&bytes[0x400 + (nameRva - 0x2000)], name.data(), name.size());
    nameRva += static_cast<uint32_t>(name.size() + 1);
  }
  if (options.resources) PutStringTable(bytes, options.windowTitle);
  if (options.resourceSection) UseResourceSection(bytes);
  return bytes;
}

// A small but complete PE32+ program image made in memory, so the pack tool's tests need no
// Windows build: DOS header, PE header, 16 data directories, a .text section and an .idata
// section whose import directory names the given DLLs and which also holds the launcher's string
// table block (its window title and class name), so the image passes for the launcher.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/format/resource_tree.h"

struct SyntheticImageOptions {
  std::vector<std::string> imports{"KERNEL32.dll", "USER32.dll"};
  uint16_t magic = 0x20B;             // 0x10B makes a 32-bit image
  uint16_t characteristics = 0x0022;  // executable, large address aware
  uint32_t directoryCount = 16;
  uint32_t textFill = 0xC3;                   // the byte the code section is filled with
  bool resources = true;                      // false: no resource directory at all
  std::u16string windowTitle = u"Vossimere";  // string 103; up to 20 characters
  // true: the layout the linker gives the launcher instead, .text, .rsrc and .reloc, with the
  // launcher's whole resource tree (string table, menu, icon, version information, manifest) in
  // .rsrc and no imports.
  bool resourceSection = false;
};

std::vector<uint8_t> SyntheticImage(const SyntheticImageOptions& options = {});

// The resource tree of SyntheticImage({.resourceSection = true}): the launcher's string table
// block, menu, one 16-pixel icon in group 129, version information 1.1.0.1 and manifest.
ResourceEntry SyntheticLauncherResources();

// Offsets inside SyntheticImage(): where its fields are.
constexpr uint32_t kSyntheticPeOffset = 0x80;
constexpr uint32_t kSyntheticOptionalHeader = kSyntheticPeOffset + 24;
constexpr uint32_t kSyntheticChecksumField = kSyntheticOptionalHeader + 64;
constexpr uint32_t kSyntheticCertificateEntry = kSyntheticOptionalHeader + 112 + 8 * 4;
constexpr uint32_t kSyntheticSize = 0x600;

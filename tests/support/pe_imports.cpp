#include "tests/support/pe_imports.h"

#include <algorithm>

#include "launch/anchor_record.h"

namespace {

constexpr size_t kImportDescriptorSize = 20;

void Fail(std::string* problem, const std::string& why) {
  if (problem) *problem = why;
}

}  // namespace

std::vector<std::string> ImportedDllNames(const PeImage& image, const uint8_t* bytes, size_t size,
                                          std::string* problem) {
  std::vector<std::string> names;
  PeDataDirectory imports = image.Directory(kImportDirectory);
  if (imports.address == 0) return names;
  std::optional<uint64_t> at = FileOffsetOfRva(image, imports.address);
  if (!at) {
    Fail(problem, "the import directory lies outside every section");
    return names;
  }
  for (uint64_t entry = *at;; entry += kImportDescriptorSize) {
    if (entry + kImportDescriptorSize > size) {
      Fail(problem, "the import directory runs past the end of the file");
      return names;
    }
    const uint8_t* descriptor = bytes + entry;
    bool last = std::all_of(descriptor, descriptor + kImportDescriptorSize,
                            [](uint8_t b) { return b == 0; });
    if (last) return names;
    std::optional<uint64_t> name = FileOffsetOfRva(image, LoadU32(descriptor + 12));
    const uint8_t* end = name && *name < size ? std::find(bytes + *name, bytes + size, 0) : nullptr;
    if (!end || end == bytes + size) {
      Fail(problem, "an import names a DLL outside the file");
      return names;
    }
    names.emplace_back(reinterpret_cast<const char*>(bytes + *name), end - (bytes + *name));
  }
}

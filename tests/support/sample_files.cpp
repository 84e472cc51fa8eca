#include "tests/support/sample_files.h"

#include <utility>

#include "tests/support/synthetic_image.h"

uint32_t PatternState(uint32_t seed) { return seed * 2654435761u + 1; }

void FillPattern(uint8_t* bytes, size_t count, uint32_t& state) {
  for (size_t i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<uint8_t>(state >> 24);
  }
}

std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  uint32_t state = PatternState(seed);
  FillPattern(bytes.data(), count, state);
  return bytes;
}

TrailerNames SampleNames() {
  return {u"Corvalinth", u"{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}", u"setup.exe",
          u"Corvalinth.msi"};
}

LauncherContents SampleContents(std::vector<uint8_t> stub, std::vector<uint8_t> installer,
                                std::vector<uint8_t> package) {
  LauncherContents contents;
  contents.stub = std::move(stub);
  contents.installer = std::move(installer);
  contents.package = std::move(package);
  contents.names = SampleNames();
  contents.installerTime = kSampleInstallerTime;
  contents.packageTime = kSamplePackageTime;
  return contents;
}

LauncherContents SampleContents(std::vector<uint8_t> stub, std::vector<uint8_t> installer,
                                size_t packageSize) {
  return SampleContents(std::move(stub), std::move(installer), PatternBytes(packageSize, 1));
}

LauncherContents SampleContents() {
  return SampleContents(SyntheticImage(), PatternBytes(3001, 1), PatternBytes(5000, 2));
}

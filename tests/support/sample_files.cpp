#include "tests/support/sample_files.h"

#include <algorithm>
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

namespace {

void PutLittle(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBig(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t Crc32(const uint8_t* bytes, size_t count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBig(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig(out, Crc32(&out[start], out.size() - start));
}

std::vector<uint8_t> SamplePng(uint32_t size, uint32_t rgba) {
  std::vector<uint8_t> raw;
  for (uint32_t y = 0; y < size; ++y) {
    raw.push_back(0);  // no filter
    for (uint32_t x = 0; x < size; ++x) PutBig(raw, rgba);
  }
  std::vector<uint8_t> zlib{0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size(); at += 65535) {
    uint32_t part = static_cast<uint32_t>(std::min<size_t>(65535, raw.size() - at));
    zlib.push_back(at + part == raw.size() ? 1 : 0);
    PutLittle(zlib, part, 2);
    PutLittle(zlib, part ^ 0xFFFF, 2);
    zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + part);
  }
  PutBig(zlib, b << 16 | a);
  std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBig(header, size);
  PutBig(header, size);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
  PngChunk(png, "IHDR", header);
  PngChunk(png, "IDAT", zlib);
  PngChunk(png, "IEND", {});
  return png;
}

std::vector<uint8_t> SampleBitmap(uint32_t size, uint32_t bgra) {
  std::vector<uint8_t> dib;
  PutLittle(dib, 40, 4);
  PutLittle(dib, size, 4);
  PutLittle(dib, 2 * size, 4);
  PutLittle(dib, 1, 2);
  PutLittle(dib, 32, 2);
  dib.resize(40, 0);
  for (uint32_t i = 0; i < size * size; ++i) PutLittle(dib, bgra, 4);
  dib.resize(dib.size() + (size + 31) / 32 * 4 * size, 0);  // the mask: all drawn
  return dib;
}

}  // namespace

std::vector<uint8_t> SampleIcon() {
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> images{{16, SampleBitmap(16, 0xFFE06020u)},
                                                                {32, SampleBitmap(32, 0xFFE06020u)},
                                                                {256, SamplePng(256, 0x2060E0FFu)}};
  std::vector<uint8_t> ico;
  PutLittle(ico, 0, 2);
  PutLittle(ico, 1, 2);
  PutLittle(ico, static_cast<uint32_t>(images.size()), 2);
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (const auto& image : images) {
    ico.push_back(static_cast<uint8_t>(image.first & 0xFF));  // 256 is written as 0
    ico.push_back(static_cast<uint8_t>(image.first & 0xFF));
    ico.push_back(0);
    ico.push_back(0);
    PutLittle(ico, 1, 2);
    PutLittle(ico, 32, 2);
    PutLittle(ico, static_cast<uint32_t>(image.second.size()), 4);
    PutLittle(ico, offset, 4);
    offset += static_cast<uint32_t>(image.second.size());
  }
  for (const auto& image : images) ico.insert(ico.end(), image.second.begin(), image.second.end());
  return ico;
}

LauncherAppearance SampleAppearance() {
  LauncherAppearance appearance;
  appearance.icon = ReadIconFile(SampleIcon(), "publisher.ico");
  VersionInfo version;
  version.fileVersion = {2, 5, 0, 17};
  version.productVersion = {2, 5, 0, 0};
  version.strings = {{u"CompanyName", u"Example Publisher"},
                     {u"FileDescription", u"Example Product Setup"},
                     {u"ProductName", u"Example Product \u00e9"}};
  appearance.version = version;
  return appearance;
}

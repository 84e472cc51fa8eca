#include "tests/pack/cli/pack_tool_fixture.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "pack/cli/command_line.h"
#include "pack/io/file_system.h"
#include "pack/format/pe_checksum.h"
#include "tests/support/synthetic_image.h"

std::vector<uint8_t> PatternBytes(size_t count, uint8_t seed) {
  std::vector<uint8_t> out(count);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1664525 + 1013904223;
    out[i] = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

std::string JsonPath(std::string path) {
  for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 2))
    path.insert(at, 1, '\\');
  return path;
}

TrailerNames SampleNames() {
  return {u"Corvalinth", u"{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}", u"setup.exe",
          u"Corvalinth.msi"};
}

LauncherContents SampleContents() {
  LauncherContents contents;
  contents.stub = SyntheticImage();
  contents.installer = PatternBytes(3001, 1);
  contents.package = PatternBytes(5000, 2);
  contents.names = SampleNames();
  contents.installerTime = kInstallerFileTime;
  contents.packageTime = kPackageFileTime;
  return contents;
}

void SetChecksum(std::vector<uint8_t>& file) {
  StoreU32(&file[kSyntheticChecksumField],
           ComputePeChecksum(file.data(), file.size(), kSyntheticChecksumField));
}

std::vector<uint8_t> GoodLauncher(const LauncherContents& contents) {
  std::vector<uint8_t> file = BuildLauncher(contents);
  SetChecksum(file);
  return file;
}

std::vector<uint8_t> SyntheticSignature(size_t length) {
  static const uint8_t kSignedDataOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86,
                                           0xF7, 0x0D, 0x01, 0x07, 0x02};
  // DER: the short form up to 127 bytes of content, else the fewest length bytes.
  static const size_t kLeast[] = {0, 0x80, 0x100, 0x10000, 0x1000000};
  for (size_t count = 0; count < 4; ++count) {
    size_t content = length - 2 - count;
    if (length < 2 + count + sizeof kSignedDataOid || content < kLeast[count] ||
        content >= kLeast[count + 1])
      continue;
    std::vector<uint8_t> der{0x30};
    if (count == 0) der.push_back(static_cast<uint8_t>(content));
    else der.push_back(static_cast<uint8_t>(0x80 | count));
    for (size_t i = count; i-- > 0;) der.push_back(static_cast<uint8_t>(content >> 8 * i));
    der.insert(der.end(), std::begin(kSignedDataOid), std::end(kSignedDataOid));
    der.resize(length, 0);
    return der;
  }
  ADD_FAILURE() << "no DER SEQUENCE is " << length << " bytes long";
  return {};
}

void AppendCertificateTable(std::vector<uint8_t>& file, const std::vector<uint8_t>& signature) {
  file.resize(NextMultiple(file.size(), 8), 0);
  const uint32_t at = static_cast<uint32_t>(file.size());
  const uint32_t length = static_cast<uint32_t>(NextMultiple(8 + signature.size(), 8));
  file.resize(at + length, 0);
  StoreU32(&file[at], length);
  file[at + 4] = 0x00, file[at + 5] = 0x02;  // revision 0x0200
  file[at + 6] = 0x02, file[at + 7] = 0x00;  // PKCS #7 SignedData
  std::copy(signature.begin(), signature.end(), file.begin() + at + 8);
  StoreU32(&file[kSyntheticCertificateEntry], at);
  StoreU32(&file[kSyntheticCertificateEntry + 4], length);
  SetChecksum(file);
}

void PackToolTest::SetUp() {
  std::random_device random;
  folder_ = std::filesystem::temp_directory_path() /
            ("vossimere-pack-test-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(folder_);
  stub_ = SyntheticImage();
  installer_ = PatternBytes(3001, 1);
  package_ = PatternBytes(5000, 2);
  WriteFile("Vossimere.exe", stub_);
  WriteFile("setup.exe", installer_);
  WriteFile("Corvalinth.msi", package_);
  SetLastWriteTime(folder_ / "setup.exe", kInstallerFileTime);
  SetLastWriteTime(folder_ / "Corvalinth.msi", kPackageFileTime);
}

void PackToolTest::TearDown() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

ToolRun PackToolTest::Run(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunPackTool(args, out, err);
  return {code, out.str(), err.str()};
}

ToolRun PackToolTest::Build(const std::string& output, const std::vector<std::string>& extra) {
  std::vector<std::string> args{"build", "--stub", PathOf("Vossimere.exe"), "--installer",
                                PathOf("setup.exe"), "--package", PathOf("Corvalinth.msi"),
                                "--title", "Corvalinth", "-o", PathOf(output)};
  args.insert(args.end(), extra.begin(), extra.end());
  return Run(args);
}

std::string PackToolTest::PathOf(const std::string& name) const {
  return PathText(folder_ / PathFromText(name));
}

void PackToolTest::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(folder_ / PathFromText(name), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << name;
}

std::vector<uint8_t> PackToolTest::ReadFile(const std::string& name) const {
  std::ifstream in(folder_ / PathFromText(name), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool PackToolTest::Exists(const std::string& name) const {
  return std::filesystem::exists(folder_ / PathFromText(name));
}

std::vector<std::string> PackToolTest::FileNames() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_))
    names.push_back(std::filesystem::relative(entry.path(), folder_).generic_u8string());
  std::sort(names.begin(), names.end());
  return names;
}

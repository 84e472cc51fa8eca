#include "tests/pack/cli/pack_tool_fixture.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "pack/cli/pack_tool.h"
#include "pack/format/crypto.h"
#include "pack/io/file_time.h"
#include "pack/io/path_text.h"
#include "tests/support/synthetic_image.h"

std::string Sha256Hex(const std::vector<uint8_t>& bytes, bool upper) {
  Hash digest(HashAlgorithm::kSha256);
  digest.Add(bytes.data(), bytes.size());
  std::string hex;
  char digit[3];
  for (uint8_t b : digest.Finish()) {
    std::snprintf(digit, sizeof digit, upper ? "%02X" : "%02x", b);
    hex += digit;
  }
  return hex;
}

std::string JsonPath(std::string path) {
  for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 2))
    path.insert(at, 1, '\\');
  return path;
}

std::vector<uint8_t> GoodLauncher(const LauncherContents& contents) {
  std::vector<uint8_t> file = BuildLauncher(contents);
  SetChecksum(file);
  return file;
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
  // The arguments packed, as a command line reads; the formatter would give each its own line.
  // clang-format off
  std::vector<std::string> args{"build", "--stub", PathOf("Vossimere.exe"), "--installer",
                                PathOf("setup.exe"), "--package", PathOf("Corvalinth.msi"),
                                "--title", "Corvalinth", "-o", PathOf(output)};
  // clang-format on
  args.insert(args.end(), extra.begin(), extra.end());
  return Run(args);
}

std::string PackToolTest::PathOf(const std::string& name) const {
  return PathText(folder_ / PathFromText(name));
}

void PackToolTest::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(folder_ / PathFromText(name), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
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

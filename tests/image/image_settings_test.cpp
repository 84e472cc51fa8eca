// The launcher image carries exactly the header settings it promises and imports nothing but
// system DLLs that the loader takes from the system directory (the KnownDLLs).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pack/format/pe_image.h"
#include "tests/support/pe_imports.h"

namespace {

std::vector<uint8_t> LauncherBytes() {
  std::ifstream in(LAUNCHER_IMAGE, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class LauncherImage : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = LauncherBytes();
    ASSERT_FALSE(bytes_.empty()) << LAUNCHER_IMAGE;
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
  std::vector<std::string> imports =
      ImportedDllNames(image_, bytes_.data(), bytes_.size(), &problem);
  EXPECT_TRUE(problem.empty()) << problem;
  ASSERT_FALSE(imports.empty());
  for (std::string name : imports) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_NE(std::find(known.begin(), known.end(), name), known.end()) << name;
  }
}

TEST_F(LauncherImage, CarriesNoPayloadAndNoSignatureOfItsOwn) {
  EXPECT_FALSE(image_.IsSigned());
  EXPECT_EQ(image_.rawDataEnd, bytes_.size());
}

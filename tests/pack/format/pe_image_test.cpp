#include <gtest/gtest.h>

#include "launch/anchor_record.h"
#include "pack/format/pe_image.h"
#include "tests/support/pe_imports.h"
#include "tests/support/synthetic_image.h"

namespace {

PeImage Read(const std::vector<uint8_t>& bytes) {
  std::string problem;
  std::optional<PeImage> image = ReadPeImage(bytes.data(), bytes.size(), &problem);
  EXPECT_TRUE(image) << problem;
  return image ? *image : PeImage{};
}

std::string Refusal(const std::vector<uint8_t>& bytes) {
  std::string problem;
  EXPECT_FALSE(ReadPeImage(bytes.data(), bytes.size(), &problem));
  return problem;
}

}  // namespace

TEST(ReadPeImage, ReadsEverySettingTheLoaderApplies) {
  PeImage image = Read(SyntheticImage());
  EXPECT_EQ(image.peHeaderOffset, kSyntheticPeOffset);
  EXPECT_EQ(image.machine, kMachineAmd64);
  EXPECT_EQ(image.characteristics, 0x0022);
  EXPECT_FALSE(image.IsDll());
  EXPECT_EQ(image.majorLinkerVersion, 2);
  EXPECT_EQ(image.minorLinkerVersion, 40);
  EXPECT_EQ(image.addressOfEntryPoint, 0x1000u);
  EXPECT_EQ(image.imageBase, 0x140000000ull);
  EXPECT_EQ(image.sectionAlignment, 0x1000u);
  EXPECT_EQ(image.fileAlignment, 0x200u);
  EXPECT_EQ(image.majorOperatingSystemVersion, 6);
  EXPECT_EQ(image.minorOperatingSystemVersion, 1);
  EXPECT_EQ(image.majorSubsystemVersion, 6);
  EXPECT_EQ(image.minorSubsystemVersion, 1);
  EXPECT_EQ(image.subsystem, kSubsystemWindowsGui);
  EXPECT_EQ(image.dllCharacteristics, 0x8160);
  EXPECT_EQ(image.sizeOfImage, 0x3000u);
  EXPECT_EQ(image.sizeOfHeaders, 0x200u);
  EXPECT_EQ(image.sizeOfStackReserve, 0x100000u);
  EXPECT_EQ(image.sizeOfStackCommit, 0x1000u);
  EXPECT_EQ(image.sizeOfHeapReserve, 0x100000u);
  EXPECT_EQ(image.sizeOfHeapCommit, 0x1000u);
  EXPECT_EQ(image.checksumOffset, kSyntheticChecksumField);
  EXPECT_EQ(image.certificateEntryOffset, kSyntheticOptionalHeader + 112 + 32);
  EXPECT_EQ(image.rawDataEnd, kSyntheticSize);
  ASSERT_EQ(image.dataDirectories.size(), 16u);
  EXPECT_EQ(image.Directory(kImportDirectory).address, 0x2000u);
  EXPECT_FALSE(image.IsSigned());
  EXPECT_EQ(image.Directory(16).size, 0u);  // beyond the table: empty
  ASSERT_EQ(image.sections.size(), 2u);
  EXPECT_EQ(image.sections[1].name, ".idata");
  EXPECT_EQ(image.sections[1].pointerToRawData, 0x400u);
}

TEST(ReadPeImage, ReadsTheCertificateEntryAndTheStoredChecksum) {
  std::vector<uint8_t> bytes = SyntheticImage();
  PeImage plain = Read(bytes);
  StoreU32(&bytes[plain.certificateEntryOffset], 0x600);
  StoreU32(&bytes[plain.certificateEntryOffset + 4], 0x48);
  StoreU32(&bytes[plain.checksumOffset], 0x1234ABCD);
  PeImage image = Read(bytes);
  EXPECT_TRUE(image.IsSigned());
  EXPECT_EQ(image.Directory(kCertificateDirectory).address, 0x600u);
  EXPECT_EQ(image.checkSum, 0x1234ABCDu);
}

TEST(ReadPeImage, RefusesWhatIsNotAPe32PlusImage) {
  EXPECT_NE(Refusal({'M', 'Z'}).find("MZ"), std::string::npos);
  std::vector<uint8_t> bytes = SyntheticImage();
  bytes[kSyntheticPeOffset] = 'N';
  EXPECT_NE(Refusal(bytes).find("PE signature"), std::string::npos);

  SyntheticImageOptions pe32;
  pe32.magic = 0x10B;
  EXPECT_NE(Refusal(SyntheticImage(pe32)).find("32-bit"), std::string::npos);

  std::vector<uint8_t> farHeader = SyntheticImage();
  StoreU32(&farHeader[60], 0xFFFFFFF0);
  EXPECT_NE(Refusal(farHeader).find("beyond"), std::string::npos);

  SyntheticImageOptions tooManyDirectories;
  tooManyDirectories.directoryCount = 16;
  std::vector<uint8_t> lying = SyntheticImage(tooManyDirectories);
  StoreU32(&lying[kSyntheticOptionalHeader + 108], 17);
  EXPECT_NE(Refusal(lying).find("data directories"), std::string::npos);
}

TEST(ReadPeImage, NeedsExactlyTheHeadersAndTheSectionTable) {
  std::vector<uint8_t> bytes = SyntheticImage();
  const size_t tableEnd = kSyntheticOptionalHeader + 240 + 2 * 40;
  EXPECT_TRUE(ReadPeImage(bytes.data(), tableEnd, nullptr));
  EXPECT_NE(Refusal(std::vector<uint8_t>(bytes.begin(), bytes.begin() + tableEnd - 1))
                .find("section table"),
            std::string::npos);
}

TEST(ImportedDllNames, ListsTheImportDirectoryInOrder) {
  SyntheticImageOptions options;
  options.imports = {"KERNEL32.dll", "USER32.dll", "SHELL32.dll"};
  std::vector<uint8_t> bytes = SyntheticImage(options);
  PeImage image = Read(bytes);
  std::string problem;
  EXPECT_EQ(ImportedDllNames(image, bytes.data(), bytes.size(), &problem),
            (std::vector<std::string>{"KERNEL32.dll", "USER32.dll", "SHELL32.dll"}));
  EXPECT_EQ(problem, "");

  options.imports = {};
  std::vector<uint8_t> none = SyntheticImage(options);
  EXPECT_TRUE(ImportedDllNames(Read(none), none.data(), none.size(), nullptr).empty());
}

TEST(ImportedDllNames, ReportsATableThatPointsOutsideTheFile) {
  std::vector<uint8_t> bytes = SyntheticImage();
  StoreU32(&bytes[0x400 + 20 + 12], 0x2000 + 0x1FF);  // USER32's name: the section's last byte
  bytes[0x5FF] = 'X';
  PeImage image = Read(bytes);
  std::string problem;
  std::vector<std::string> names = ImportedDllNames(image, bytes.data(), bytes.size(), &problem);
  EXPECT_EQ(names, std::vector<std::string>{"KERNEL32.dll"});
  EXPECT_NE(problem.find("outside the file"), std::string::npos);
}

TEST(FileOffsetOfRva, MapsThroughTheSectionsAndTheHeaders) {
  PeImage image = Read(SyntheticImage());
  EXPECT_EQ(FileOffsetOfRva(image, 0x2010), std::optional<uint64_t>(0x410));
  EXPECT_EQ(FileOffsetOfRva(image, 0x1000), std::optional<uint64_t>(0x200));
  EXPECT_EQ(FileOffsetOfRva(image, 0x80), std::optional<uint64_t>(0x80));
  EXPECT_FALSE(FileOffsetOfRva(image, 0x2200));
  EXPECT_FALSE(FileOffsetOfRva(image, 0x800));
}

#include <gtest/gtest.h>

#include <string>

#include "launch/image_file.h"
#include "tests/launch/test_text.h"

static std::u16string Openable(const std::u16string& name) {
  return Text(OpenableImagePath(name.data(), name.size()));
}

TEST(OpenableImagePath, WinesDosDevicePathsBecomeWin32DevicePaths) {
  EXPECT_EQ(Openable(u"\\??\\Z:\\work\\case\\launcher.exe"),
            u"\\\\?\\Z:\\work\\case\\launcher.exe");
  EXPECT_EQ(Openable(u"\\??\\UNC\\server\\share\\セットアップ.exe"),
            u"\\\\?\\UNC\\server\\share\\セットアップ.exe");
}

TEST(OpenableImagePath, WindowsDevicePathsAreOpenedThroughGlobalRoot) {
  EXPECT_EQ(Openable(u"\\Device\\HarddiskVolume3\\Users\\a\\Downloads\\setup.exe"),
            u"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume3\\Users\\a\\Downloads\\setup.exe");
  EXPECT_EQ(Openable(u"\\Device\\Mup\\server\\share\\setup.exe"),
            u"\\\\?\\GLOBALROOT\\Device\\Mup\\server\\share\\setup.exe");
}

TEST(OpenableImagePath, AnyOtherFormIsNotGuessedAt) {
  for (const std::u16string& name :
       {std::u16string(), std::u16string(u"\\??\\"), std::u16string(u"\\Device\\"),
        std::u16string(u"C:\\dir\\setup.exe"), std::u16string(u"\\\\?\\C:\\setup.exe"),
        std::u16string(u"\\device\\HarddiskVolume3\\setup.exe"), std::u16string(u"\\??"),
        std::u16string(u"\\DeviceX\\a")}) {
    EXPECT_EQ(Openable(name), u"") << std::string(name.begin(), name.end());
  }
}

TEST(ReadsOwnImage, OnlyTheSameVolumeAndFileIndexIsTheSameFile) {
  const FileIdentity opened{0x1234ABCD, 7, 42};
  EXPECT_TRUE(ReadsOwnImage(ImageFileLookup::kFound, opened, FileIdentity{0x1234ABCD, 7, 42}));
  EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kFound, opened, FileIdentity{0x1234ABCE, 7, 42}));
  EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kFound, opened, FileIdentity{0x1234ABCD, 8, 42}));
  EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kFound, opened, FileIdentity{0x1234ABCD, 7, 43}));
  // FILE_ID_INFO's serial has 64 bits: a serial equal in its low 32 bits is another volume's.
  EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kFound, opened,
                             FileIdentity{0x100000000 | 0x1234ABCD, 7, 42}));
}

// ReFS and some shares give an id of 0 or all ones, in the 128-bit or the 64-bit form: then the
// check reads as on systems without the lookup, and a denied image file is still refused.
TEST(ReadsOwnImage, AnIdThatTellsNothingReadsAsWithoutTheLookup) {
  constexpr uint64_t kOnes = ~uint64_t{0};
  const FileIdentity known{0x1234ABCD, 0, 42};
  for (FileIdentity unknown :
       {FileIdentity{0x1234ABCD, 0, 0}, FileIdentity{0x1234ABCD, kOnes, kOnes},
        FileIdentity{0x1234ABCD, 0, kOnes}}) {
    EXPECT_TRUE(ReadsOwnImage(ImageFileLookup::kFound, unknown, known));
    EXPECT_TRUE(ReadsOwnImage(ImageFileLookup::kFound, known, unknown));
    EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kDenied, unknown, unknown));
  }
}

TEST(ReadsOwnImage, AnImageFileDeniedToTheUserIsRefusedOneThatCannotBeNamedIsNot) {
  const FileIdentity opened{1, 2, 3};
  const FileIdentity other{9, 9, 9};
  EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kDenied, opened, other));
  EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kDenied, opened, opened));
  EXPECT_TRUE(ReadsOwnImage(ImageFileLookup::kUnavailable, opened, other));
}

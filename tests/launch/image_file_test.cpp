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
}

TEST(ReadsOwnImage, AnImageFileDeniedToTheUserIsRefusedOneThatCannotBeNamedIsNot) {
  const FileIdentity opened{1, 2, 3};
  const FileIdentity other{9, 9, 9};
  EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kDenied, opened, other));
  EXPECT_FALSE(ReadsOwnImage(ImageFileLookup::kDenied, opened, opened));
  EXPECT_TRUE(ReadsOwnImage(ImageFileLookup::kUnavailable, opened, other));
}

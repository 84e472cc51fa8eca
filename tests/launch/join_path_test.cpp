#include <gtest/gtest.h>

#include "launch/join_path.h"
#include "tests/launch/test_text.h"

static std::u16string Join(const std::u16string& directory, const std::u16string& name) {
  return Text(JoinPath(Wide(directory), Wide(name)));
}

TEST(JoinPath, PutsExactlyOneBackslashBetweenDirectoryAndName) {
  EXPECT_EQ(Join(u"C:\\T\\", u"F"), u"C:\\T\\F");
  EXPECT_EQ(Join(u"C:\\T\\F", u"setup.exe"), u"C:\\T\\F\\setup.exe");
  EXPECT_EQ(Join(u"C:\\T", u"F"), u"C:\\T\\F");
}

TEST(JoinPath, EmptyDirectoryGivesTheNameAlone) {
  EXPECT_EQ(Join(u"", u"setup.exe"), u"setup.exe");
  EXPECT_EQ(Join(u"", u""), u"");
}

TEST(JoinPath, ForwardSlashIsNotASeparator) { EXPECT_EQ(Join(u"C:/T/", u"F"), u"C:/T/\\F"); }

TEST(JoinPath, NameIsNeverInspected) {
  EXPECT_EQ(Join(u"C:\\T", u"\\..\\x"), u"C:\\T\\\\..\\x");
  EXPECT_EQ(Join(u"C:\\一時 フォルダ", u"\xD83D\xDE00.msi"),
            u"C:\\一時 フォルダ\\\xD83D\xDE00.msi");
}

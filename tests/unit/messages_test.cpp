#include <gtest/gtest.h>

#include "launch/messages.h"
#include "tests/unit/test_text.h"

TEST(CreationMessage, IsTheSentenceABlankLineAndThePath) {
  std::u16string path = u"C:\\Users\\u\\AppData\\Local\\Temp\\{F}\\setup.exe";
  WideString text = CreationMessage(Wide(path));
  EXPECT_EQ(Text(text), u"テンポラリファイルを作成できません。\r\n\r\n" + path);
  EXPECT_EQ(text.Length(), 22 + path.size());
}

TEST(CreationMessage, LengthIs22PlusThePathLength) {
  EXPECT_EQ(UnitCount(kTempFileNotCreated), 18u);
  for (size_t length : {0u, 1u, 260u, 32767u}) {
    std::u16string path(length, u'x');
    EXPECT_EQ(CreationMessage(Wide(path)).Length(), 22 + length);
  }
}

TEST(MessageCaption, IsTheTitleAsItStandsAndEmptyBeforeItIsRead) {
  WideString title;
  const char16_t* before = MessageCaption(title);
  ASSERT_NE(before, nullptr);
  EXPECT_EQ(before[0], 0);
  title.Assign(u"製品", 2);
  EXPECT_EQ(std::u16string(MessageCaption(title)), u"製品");
}

TEST(Messages, EveryTextIsOneSentenceEndingInTheJapaneseFullStop) {
  for (const char16_t* text : {kOwnPathUnavailable, kTempPathUnavailable, kInstallFileNotOpened,
                               kNoAnchor, kTempFileNotCreated, kInstallFileNotRead,
                               kTempFileNotWritten, kInstallerNotStarted}) {
    std::u16string s(text);
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s.back(), u'。');
    EXPECT_EQ(s.find(u'。'), s.size() - 1);
  }
}

#include <gtest/gtest.h>

#include <utility>

#include "tests/launch/test_text.h"

TEST(WideString, EmptyStringHasATerminatedBuffer) {
  WideString s;
  EXPECT_TRUE(s.Empty());
  ASSERT_NE(s.Data(), nullptr);
  EXPECT_EQ(s.Data()[0], 0);
}

TEST(WideString, AppendKeepsUnitsAndTerminator) {
  WideString s;
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(s.Append(static_cast<char16_t>(u'a' + i % 26)));
  EXPECT_EQ(s.Length(), 1000u);
  EXPECT_EQ(s.Data()[1000], 0);
  EXPECT_EQ(s[27], u'b');
  ASSERT_TRUE(s.Append(u"\xD800\xDC00", 2));
  EXPECT_EQ(s[1000], 0xD800);
  EXPECT_EQ(s[1001], 0xDC00);
}

TEST(WideString, AssignReplacesAndMoveEmptiesTheSource) {
  WideString a = Wide(u"first");
  a.Assign(u"x", 1);
  EXPECT_EQ(Text(a), u"x");
  WideString b(std::move(a));
  EXPECT_EQ(Text(b), u"x");
  EXPECT_TRUE(a.Empty());
  a = std::move(b);
  EXPECT_EQ(Text(a), u"x");
}

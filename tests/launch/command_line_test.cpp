#include <gtest/gtest.h>

#include <string>

#include "launch/command_line.h"

// What the installer is given for the launcher's `commandLine`; "(none)" for no parameters.
static std::u16string Passed(const std::u16string& commandLine) {
  const char16_t* arguments = ArgumentsAfterProgramName(commandLine.c_str());
  if (!arguments) return u"(none)";
  EXPECT_GE(arguments, commandLine.c_str());
  EXPECT_LE(arguments, commandLine.c_str() + commandLine.size());
  return arguments;
}

TEST(ArgumentsAfterProgramName, QuotedNameRunsToTheNextQuoteWhateverItHolds) {
  EXPECT_EQ(Passed(u"\"C:\\My Downloads\\Setup.exe\" /quiet"), u"/quiet");
  EXPECT_EQ(Passed(u"\"C:\\a\\Setup.exe\"/quiet /norestart"), u"/quiet /norestart");
  // Everything after the name is passed as it stands: quotes, inner blanks, trailing blanks.
  EXPECT_EQ(Passed(u"\"C:\\x\\S.exe\" \t /l*v \"C:\\log dir\\i.log\"  \"\" x  "),
            u"/l*v \"C:\\log dir\\i.log\"  \"\" x  ");
  // A name whose closing quote is missing takes the whole line.
  EXPECT_EQ(Passed(u"\"C:\\x\\Setup.exe /quiet"), u"(none)");
}

TEST(ArgumentsAfterProgramName, UnquotedNameRunsToTheFirstSpaceOrTab) {
  EXPECT_EQ(Passed(u"C:\\x\\Setup.exe /quiet"), u"/quiet");
  EXPECT_EQ(Passed(u"C:\\x\\Setup.exe\t/quiet"), u"/quiet");
  // A quote inside an unquoted name does not start a quoted part.
  EXPECT_EQ(Passed(u"C:\\x\"y z\"\\Setup.exe /quiet"), u"z\"\\Setup.exe /quiet");
  EXPECT_EQ(Passed(u"Setup.exe インストール \"名前 付き\""), u"インストール \"名前 付き\"");
}

TEST(ArgumentsAfterProgramName, NoArgumentsGiveNone) {
  EXPECT_EQ(Passed(u""), u"(none)");
  EXPECT_EQ(Passed(u"Setup.exe"), u"(none)");
  EXPECT_EQ(Passed(u"Setup.exe \t "), u"(none)");
  EXPECT_EQ(Passed(u"\"C:\\My Downloads\\Setup.exe\""), u"(none)");
  EXPECT_EQ(Passed(u"\"C:\\My Downloads\\Setup.exe\"   "), u"(none)");
  EXPECT_EQ(ArgumentsAfterProgramName(nullptr), nullptr);
}

TEST(ArgumentsAfterProgramName, OnlySpacesAndTabsSeparate) {
  // Other control characters and non-breaking spaces belong to the name or to the arguments.
  EXPECT_EQ(Passed(u"Setup.exe\n/quiet"), u"(none)");
  EXPECT_EQ(Passed(u"Setup.exe\u00A0/quiet x"), u"x");
  EXPECT_EQ(Passed(u"Setup.exe \n/quiet"), u"\n/quiet");
}

TEST(CommandLineFits, PathInQuotesASpaceAndTheArgumentsMustFit32766Units) {
  const size_t path = 100;
  std::u16string longest(kLongestCommandLine - path - 3, u'x');
  EXPECT_TRUE(CommandLineFits(path, longest.c_str()));
  EXPECT_FALSE(CommandLineFits(path, (longest + u"x").c_str()));
  EXPECT_FALSE(CommandLineFits(path, std::u16string(100000, u'x').c_str()));
  // Without arguments there is no space either.
  EXPECT_TRUE(CommandLineFits(kLongestCommandLine - 2, nullptr));
  EXPECT_FALSE(CommandLineFits(kLongestCommandLine - 1, nullptr));
  EXPECT_FALSE(CommandLineFits(kLongestCommandLine - 2, u"x"));
  EXPECT_FALSE(CommandLineFits(static_cast<size_t>(-1), nullptr));
}

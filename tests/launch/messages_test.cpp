#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "launch/exit_codes.h"
#include "launch/messages.h"
#include "tests/launch/test_text.h"

TEST(CreationMessage, IsTheSentenceABlankLineAndThePathAndEndsWithTheCreationCode) {
  std::u16string path = u"C:\\Users\\u\\AppData\\Local\\Temp\\{F}\\setup.exe";
  ComposedMessage message = CreationMessage(Wide(path));
  EXPECT_EQ(Text(message.text), u"テンポラリファイルを作成できません。\r\n\r\n" + path);
  EXPECT_EQ(message.text.Length(), 22 + path.size());
  EXPECT_EQ(message.exitCode, kTempFileNotCreated.exitCode);
}

TEST(CreationMessage, LengthIs22PlusThePathLength) {
  EXPECT_EQ(UnitCount(kTempFileNotCreated.text), 18u);
  for (size_t length : {0u, 1u, 260u, 32767u}) {
    std::u16string path(length, u'x');
    EXPECT_EQ(CreationMessage(Wide(path)).text.Length(), 22 + length);
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

static const LauncherMessage* const kEveryMessage[] = {
    &kOwnPathUnavailable, &kTempPathUnavailable, &kInstallFileNotOpened, &kNoAnchor,
    &kTempFileNotCreated, &kInstallFileNotRead,  &kTempFileNotWritten,   &kInstallerNotStarted};

TEST(Messages, EveryTextIsOneSentenceEndingInTheJapaneseFullStop) {
  for (const LauncherMessage* message : kEveryMessage) {
    std::u16string s(message->text);
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s.back(), u'。');
    EXPECT_EQ(s.find(u'。'), s.size() - 1);
  }
}

// What docs/messages.md and docs/deployment.md promise administrators.
TEST(ExitCodes, AreTheDocumentedWindowsErrorCodes) {
  EXPECT_EQ(kOwnPathUnavailable.exitCode, 161u);    // ERROR_BAD_PATHNAME
  EXPECT_EQ(kTempPathUnavailable.exitCode, 3u);     // ERROR_PATH_NOT_FOUND
  EXPECT_EQ(kInstallFileNotOpened.exitCode, 110u);  // ERROR_OPEN_FAILED
  EXPECT_EQ(kNoAnchor.exitCode, 11u);               // ERROR_BAD_FORMAT
  EXPECT_EQ(kTempFileNotCreated.exitCode, 82u);     // ERROR_CANNOT_MAKE
  EXPECT_EQ(kInstallFileNotRead.exitCode, 30u);     // ERROR_READ_FAULT
  EXPECT_EQ(kTempFileNotWritten.exitCode, 29u);     // ERROR_WRITE_FAULT
  EXPECT_EQ(kInstallerNotStarted.exitCode, 192u);   // ERROR_EXE_MARKED_INVALID
  EXPECT_EQ(kExitStartedWithoutProcess, 0u);
  EXPECT_EQ(kExitInstallerCodeUnknown, 6u);  // ERROR_INVALID_HANDLE
  EXPECT_EQ(kExitWindowDestroyed, 1223u);    // ERROR_CANCELLED
  EXPECT_EQ(kExitWorkerNotStarted, 155u);    // ERROR_TOO_MANY_TCBS
  EXPECT_EQ(kExitWindowNotCreated, 1450u);   // ERROR_NO_SYSTEM_RESOURCES
}

// Deployment tools take 0, 1707, 3010 and 1641 for success and 1618 for "try again later"; 259 is
// STILL_ACTIVE, which a tool polling the process would take for a run that has not ended.
TEST(ExitCodes, EveryFailureHasACodeOfItsOwnThatNoToolTakesForSuccessOrRetry) {
  std::vector<uint32_t> codes = {kExitInstallerCodeUnknown, kExitWindowDestroyed,
                                 kExitWorkerNotStarted, kExitWindowNotCreated};
  for (const LauncherMessage* message : kEveryMessage) codes.push_back(message->exitCode);
  std::set<uint32_t> distinct(codes.begin(), codes.end());
  EXPECT_EQ(distinct.size(), codes.size()) << "two endings share an exit code";
  for (uint32_t reserved : {0u, 259u, 1618u, 1641u, 1707u, 3010u}) {
    EXPECT_EQ(distinct.count(reserved), 0u) << reserved;
  }
}

// A declined elevation prompt ends with ERROR_CANCELLED; every other failure of the shell with the
// start message's own code. Neither reads as success or "try again" to a deployment tool.
TEST(ExitCodes, ADeclinedElevationPromptEndsWithCancelledAndAnyOtherStartFailureWith192) {
  EXPECT_EQ(StartFailureExitCode(1223), 1223u);                          // ERROR_CANCELLED
  EXPECT_EQ(StartFailureExitCode(2), kInstallerNotStarted.exitCode);     // ERROR_FILE_NOT_FOUND
  EXPECT_EQ(StartFailureExitCode(5), kInstallerNotStarted.exitCode);     // ERROR_ACCESS_DENIED
  EXPECT_EQ(StartFailureExitCode(1155), kInstallerNotStarted.exitCode);  // no association
  EXPECT_EQ(StartFailureExitCode(0), kInstallerNotStarted.exitCode);
  for (uint32_t reserved : {0u, 259u, 1618u, 1641u, 1707u, 3010u}) {
    EXPECT_NE(kExitElevationDeclined, reserved);
  }
}

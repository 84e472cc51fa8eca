// The kit runner's reading of its list and of GoogleTest's reports, and its counting: what a
// maintainer reads in the closing line must be every case, none passed in silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/kit/report_folder.h"
#include "tests/kit/test_results.h"

namespace {

// A report as GoogleTest writes it: a passed case, a skipped one with its reason, a failed one
// whose detail holds text that looks like a tag, a disabled one, and a failure outside any case.
const char kReport[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="5" failures="1" disabled="1" errors="0" time="0.5" name="AllTests">
  <testsuite name="UnattendedRun" tests="3" failures="1" disabled="0" skipped="1" errors="0">
    <testcase name="EndsWithTheInstallersCode" file="a.cpp" line="10" status="run" result="completed" time="0.1" classname="UnattendedRun" />
    <testcase name="ThirtyTwoBitInstaller" file="a.cpp" line="20" status="run" result="skipped" time="0" classname="UnattendedRun">
      <skipped message="a.cpp:21&#x0A;this platform does not run 32-bit &quot;Windows&quot; programs&#x0A;"><![CDATA[a.cpp:21
this platform does not run 32-bit "Windows" programs
]]></skipped>
    </testcase>
    <testcase name="ShowsNoBox" file="a.cpp" line="30" status="run" result="completed" time="0.2" classname="UnattendedRun">
      <failure message="a.cpp:33&#x0A;Expected equality of these values:&#x0A;  boxes" type=""><![CDATA[a.cpp:33
<testcase name="NotACase"/> </testsuites>
]]></failure>
    </testcase>
  </testsuite>
  <testsuite name="Names" tests="2" failures="0" disabled="1" skipped="0" errors="0">
    <testcase name="DISABLED_Later" file="b.cpp" line="5" status="notrun" result="suppressed" time="0" classname="Names" />
    <testcase name="&#x65E5;&#x672C;&lt;1&gt;" file="b.cpp" line="9" status="run" result="skipped" time="0" classname="Names">
      <skipped message="b.cpp:9&#x0A;"><![CDATA[b.cpp:9
]]></skipped>
    </testcase>
  </testsuite>
</testsuites>
)";

TEST(KitReport, ReadsEachCaseWithItsOutcomeAndReason) {
  auto cases = ReadGoogleTestXml(kReport);
  ASSERT_TRUE(cases);
  ASSERT_EQ(cases->size(), 5u);
  EXPECT_EQ((*cases)[0].name, "UnattendedRun.EndsWithTheInstallersCode");
  EXPECT_EQ((*cases)[0].outcome, CaseOutcome::kPassed);
  EXPECT_EQ((*cases)[1].outcome, CaseOutcome::kSkipped);
  EXPECT_EQ((*cases)[1].reason, "this platform does not run 32-bit \"Windows\" programs");
  EXPECT_EQ((*cases)[2].outcome, CaseOutcome::kFailed);
  EXPECT_EQ((*cases)[2].reason, "Expected equality of these values:");
  EXPECT_EQ((*cases)[3].name, "Names.DISABLED_Later");
  EXPECT_EQ((*cases)[3].outcome, CaseOutcome::kSkipped);
  EXPECT_EQ((*cases)[3].reason, "disabled");
  EXPECT_EQ((*cases)[4].name, "Names.\xE6\x97\xA5\xE6\x9C\xAC<1>");
  EXPECT_EQ((*cases)[4].outcome, CaseOutcome::kSkipped);
  EXPECT_EQ((*cases)[4].reason, "");
  EXPECT_EQ(ClosingLine(Count(*cases)), "1 passed, 1 failed, 3 skipped");
}

TEST(KitReport, AReportCutShortIsNoReport) {
  std::string report = kReport;
  EXPECT_FALSE(ReadGoogleTestXml(report.substr(0, report.rfind("</testsuites>"))));
  EXPECT_FALSE(ReadGoogleTestXml(report.substr(0, report.find("<![CDATA[") + 12)));
  EXPECT_FALSE(ReadGoogleTestXml(""));
  EXPECT_FALSE(ReadGoogleTestXml("not a report"));
  EXPECT_TRUE(ReadGoogleTestXml("<testsuites tests=\"0\">\n</testsuites>\n"));
}

TEST(KitReport, AProgramThatEndedBadlyCountsAsOneFailedCaseMore) {
  ProgramRun run;
  run.program = "launcher_e2e_tests.exe";
  run.cases = ReadGoogleTestXml(kReport);

  run.exitCode = 1;  // its failed case explains the code
  EXPECT_EQ(ClosingLine(Count(CountedCases(run))), "1 passed, 1 failed, 3 skipped");

  run.cases->erase(run.cases->begin() + 2);
  run.exitCode = 0;
  EXPECT_EQ(ClosingLine(Count(CountedCases(run))), "1 passed, 0 failed, 3 skipped");

  run.exitCode = 0xC0000005;  // crashed after its last case
  auto cases = CountedCases(run);
  EXPECT_EQ(ClosingLine(Count(cases)), "1 passed, 1 failed, 3 skipped");
  EXPECT_EQ(cases.back().name, "launcher_e2e_tests.exe");
  EXPECT_EQ(cases.back().reason,
            "ended with exit code 3221225477 although none of its cases failed");

  run.cases.reset();  // wrote no report
  run.exitCode = 2;
  cases = CountedCases(run);
  ASSERT_EQ(cases.size(), 1u);
  EXPECT_EQ(cases[0].outcome, CaseOutcome::kFailed);
  EXPECT_EQ(cases[0].reason, "wrote no complete report (exit code 2)");

  run.started = false;  // not a program Windows can start
  cases = CountedCases(run);
  ASSERT_EQ(cases.size(), 1u);
  EXPECT_EQ(cases[0].reason, "could not be started (Windows error 2)");

  run.started = true;
  run.cases = ReadGoogleTestXml("<testsuites>\n</testsuites>\n");
  run.exitCode = 0;
  run.ended = false;  // stopped at its time limit
  EXPECT_EQ(ClosingLine(Count(CountedCases(run))), "0 passed, 1 failed, 0 skipped");
}

TEST(KitStart, TriesAgainOnlyWhileTheErrorMayPass) {
  struct Case {
    std::vector<unsigned long> errors;  // what each try gives; the last one repeats
    unsigned long expected;
    int tries;
  };
  const Case cases[] = {
      {{0}, 0, 1},
      {{1359, 32, 0}, 0, 3},          // Wine's loader failed, then a scanner held the file
      {{1359, 1359, 1359}, 1359, 3},  // three tries in all, then the last error
      {{32, 2}, 2, 2},                // a missing file ends the tries at once
      {{2}, 2, 1},
      {{193}, 193, 1},  // not a program
      {{5}, 5, 1},      // access denied: a policy, not a moment
  };
  for (const Case& c : cases) {
    int tries = 0;
    std::vector<unsigned long> told;
    unsigned long error = StartTryingAgain(
        [&] {
          size_t index = std::min<size_t>(tries++, c.errors.size() - 1);
          return c.errors[index];
        },
        [&](unsigned long before) { told.push_back(before); });
    EXPECT_EQ(error, c.expected) << "first error " << c.errors[0];
    EXPECT_EQ(tries, c.tries) << "first error " << c.errors[0];
    ASSERT_EQ(told.size(), static_cast<size_t>(c.tries - 1));
    for (size_t i = 0; i < told.size(); ++i) {
      EXPECT_EQ(told[i], c.errors[std::min(i, c.errors.size() - 1)]);
    }
  }
}

TEST(KitList, ReadsProgramsAndTheirArguments) {
  std::string problem;
  auto programs = ReadKitList(
      "# the kit's test programs\r\nlaunch_tests.exe\r\n\r\n"
      "launcher_e2e_tests.exe Vossimere.exe  fake_installer.exe --without-linux-commands\r\n",
      &problem);
  ASSERT_EQ(programs.size(), 2u);
  EXPECT_EQ(programs[0].program, "launch_tests.exe");
  EXPECT_TRUE(programs[0].arguments.empty());
  EXPECT_EQ(programs[1].program, "launcher_e2e_tests.exe");
  EXPECT_EQ(programs[1].arguments, (std::vector<std::string>{"Vossimere.exe", "fake_installer.exe",
                                                             "--without-linux-commands"}));
  EXPECT_TRUE(problem.empty());

  EXPECT_TRUE(ReadKitList("# nothing\n\n", &problem).empty());
  EXPECT_EQ(problem, "the list names no test program");
}

// Each path with its ANSI form as Windows gives it on the code page named.
TEST(KitReportFolder, TakesOnlyAPathGoogleTestOpensWhateverFormItGets) {
  const std::u16string ascii = u"C:\\Kit\\results";
  EXPECT_TRUE(ReportPathSurvives(ascii, {"C:\\Kit\\results", false, ascii}));  // any code page

  // "Prüfung" on 1252: the code page holds it, but a wmain program hands GoogleTest its UTF-8
  // form, which fopen reads as "PrÃ¼fung".
  const std::u16string umlaut = u"C:\\Pr\u00FCfung";
  EXPECT_FALSE(ReportPathSurvives(umlaut, {"C:\\Pr\374fung", false, umlaut}));
  // The same where the ANSI code page is UTF-8 (65001).
  EXPECT_TRUE(ReportPathSurvives(umlaut, {"C:\\Pr\303\274fung", false, umlaut}));

  // Japanese on 1252: the default character stands in for each.
  const std::u16string japanese = u"C:\\\u691C\u67FB";
  EXPECT_FALSE(ReportPathSurvives(japanese, {"C:\\??", true, u"C:\\??"}));
  // A unit read back as another although no default character was reported: a lone surrogate,
  // which UTF-8 has no form for, comes back as U+FFFD.
  const std::u16string lone = u"C:\\a" + std::u16string(1, char16_t(0xD800));
  EXPECT_FALSE(ReportPathSurvives(lone, {"C:\\a\xEF\xBF\xBD", false, u"C:\\a\uFFFD"}));
}

}  // namespace

#include "tests/e2e/system_task.h"

#include <gtest/gtest.h>

// The one element of that name in the definition, with its text.
static std::wstring Element(const std::wstring& document, const std::wstring& name) {
  std::wstring open = L"<" + name + L">";
  std::wstring close = L"</" + name + L">";
  size_t start = document.find(open);
  if (start == std::wstring::npos || document.find(open, start + 1) != std::wstring::npos) {
    return L"(not there once)";
  }
  size_t end = document.find(close, start);
  if (end == std::wstring::npos) return L"(not closed)";
  return document.substr(start + open.size(), end - start - open.size());
}

TEST(SystemTask, StartsAndKeepsRunningOnBatteriesAsSystemAtTheHighestLevel) {
  std::wstring task = SystemTaskDefinition(L"C:\\VossimereE2E\\session0-12\\run.cmd");
  EXPECT_EQ(Element(task, L"DisallowStartIfOnBatteries"), L"false");
  EXPECT_EQ(Element(task, L"StopIfGoingOnBatteries"), L"false");
  EXPECT_EQ(Element(task, L"UserId"), L"S-1-5-18");
  EXPECT_EQ(Element(task, L"RunLevel"), L"HighestAvailable");
  EXPECT_EQ(Element(task, L"Command"), L"C:\\VossimereE2E\\session0-12\\run.cmd");
  // No trigger: it runs once, when schtasks /run says so.
  EXPECT_EQ(task.find(L"Trigger"), std::wstring::npos);
  EXPECT_EQ(task.rfind(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>", 0), 0u);
}

TEST(SystemTask, ThePathIsCharacterDataWhateverItHolds) {
  std::wstring task = SystemTaskDefinition(L"C:\\R&D <1>\\run.cmd");
  EXPECT_EQ(Element(task, L"Command"), L"C:\\R&amp;D &lt;1&gt;\\run.cmd");
}

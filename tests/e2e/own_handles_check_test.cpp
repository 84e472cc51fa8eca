// The after-every-case check catches what a handle closed by mistake does: the case below closes
// the process's cached HKEY_CURRENT_USER handle, or a standard handle, the way a CloseHandle on a
// value the program was never given does, runs a check made before that, and puts everything
// back before the suite's own check looks.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/own_handles_check.h"

namespace {

// NtQueryKey's KeyNameInformation: the key's full name in the object namespace.
using NtQueryKeyFunction = LONG(WINAPI*)(HANDLE key, int informationClass, void* information,
                                         ULONG length, ULONG* resultLength);
constexpr int kKeyNameInformation = 3;

std::wstring KeyName(HANDLE key) {
  static const auto query = reinterpret_cast<NtQueryKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
  alignas(ULONG) unsigned char buffer[1024];
  ULONG got = 0;
  if (query == nullptr || query(key, kKeyNameInformation, buffer, sizeof buffer - 2, &got) != 0) {
    return std::wstring();
  }
  ULONG bytes = *reinterpret_cast<ULONG*>(buffer);
  return std::wstring(reinterpret_cast<wchar_t*>(buffer + sizeof(ULONG)), bytes / sizeof(wchar_t));
}

// The handle values of this process that are open keys named `name`.
std::vector<HANDLE> KeyHandlesNamed(const std::wstring& name) {
  std::vector<HANDLE> found;
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    HANDLE handle = reinterpret_cast<HANDLE>(value);
    DWORD flags = 0;
    if (GetHandleInformation(handle, &flags) &&
        _wcsicmp(KeyName(handle).c_str(), name.c_str()) == 0) {
      found.push_back(handle);
    }
  }
  return found;
}

// The handle the registry functions keep for HKEY_CURRENT_USER, found as the one key handle of
// the user's hive that appears when the mapping is made anew. Null when that cannot be told.
HANDLE CachedCurrentUserHandle() {
  HKEY own = nullptr;
  if (RegOpenCurrentUser(KEY_READ, &own) != ERROR_SUCCESS) return nullptr;
  std::wstring hive = KeyName(own);
  RegCloseKey(own);
  if (hive.empty() || RegOverridePredefKey(HKEY_CURRENT_USER, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  std::vector<HANDLE> before = KeyHandlesNamed(hive);
  DWORD subkeys = 0;
  RegQueryInfoKeyW(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                   nullptr, nullptr, nullptr, nullptr, nullptr);
  std::vector<HANDLE> after = KeyHandlesNamed(hive);
  HANDLE added = nullptr;
  for (HANDLE handle : after) {
    bool old = false;
    for (HANDLE seen : before) old = old || seen == handle;
    if (old) continue;
    if (added != nullptr) return nullptr;  // two new ones: not told apart
    added = handle;
  }
  return added;
}

// Takes the closed handle value back for an object of this test's own, so that what closes it
// next closes nothing of anybody else's: new handles take free values, the lowest first under
// Wine, the last freed first on Windows. The other values taken on the way are closed again.
bool ReclaimHandleValue(HANDLE value) {
  std::vector<HANDLE> passed;
  bool reclaimed = false;
  for (int tries = 0; tries < 4096 && !reclaimed; ++tries) {
    HANDLE placeholder = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (placeholder == nullptr) break;
    reclaimed = placeholder == value;
    if (!reclaimed) passed.push_back(placeholder);
  }
  for (HANDLE handle : passed) CloseHandle(handle);
  return reclaimed;
}

std::string CurrentCaseName() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return std::string(info->test_suite_name()) + "." + info->name();
}

}  // namespace

TEST(OwnHandlesCheck, NamesTheCaseAfterWhichTheCachedCurrentUserHandleWasClosed) {
  // GoogleTest opens handles when it first catches a failure on a thread: that happens here, not
  // while the closed value is free.
  EXPECT_NONFATAL_FAILURE(ADD_FAILURE() << "a first caught failure", "a first caught failure");
  OwnHandlesCheck check;
  HANDLE cached = CachedCurrentUserHandle();
  ASSERT_NE(cached, nullptr) << "the cached HKEY_CURRENT_USER handle was not found";
  ASSERT_TRUE(CloseHandle(cached));
  std::string expected = "HKEY_CURRENT_USER stopped working after " + CurrentCaseName() +
                         ": RegQueryInfoKeyW(HKEY_CURRENT_USER) returns 6";
  EXPECT_NONFATAL_FAILURE(check.OnTestEnd(*testing::UnitTest::GetInstance()->current_test_info()),
                          expected.c_str());
  // Only once: the broken handle is not reported again after the next case.
  EXPECT_NONFATAL_FAILURE(
      {
        check.OnTestEnd(*testing::UnitTest::GetInstance()->current_test_info());
        ADD_FAILURE() << "the end of the second look";
      },
      "the end of the second look");
  // The registry functions open the user's hive anew from here on; the mapping made anew closes
  // the old value, by then a placeholder of this test's.
  ASSERT_TRUE(ReclaimHandleValue(cached)) << "the closed handle value went to something else";
  ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, nullptr), ERROR_SUCCESS);
  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_QUERY_VALUE, &software),
            ERROR_SUCCESS);
  RegCloseKey(software);
}

TEST(OwnHandlesCheck, NamesTheCaseAfterWhichAStandardHandleWasClosed) {
  HANDLE original = GetStdHandle(STD_ERROR_HANDLE);
  HANDLE copy = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &copy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  ASSERT_TRUE(SetStdHandle(STD_ERROR_HANDLE, copy));
  OwnHandlesCheck check;  // watches the copy as the program's standard error
  CloseHandle(copy);
  std::string expected = "the program's standard error stopped working after " + CurrentCaseName() +
                         ": GetHandleInformation fails with error 6";
  EXPECT_NONFATAL_FAILURE(check.OnTestEnd(*testing::UnitTest::GetInstance()->current_test_info()),
                          expected.c_str());
  ASSERT_TRUE(SetStdHandle(STD_ERROR_HANDLE, original));
}

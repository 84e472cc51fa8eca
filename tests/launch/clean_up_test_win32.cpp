// The clean-up's hard cases on the system itself: a file in use, a read-only file held without
// sharing, another file under the name, and the folder. The wait runs on a simulated clock whose
// pauses stand for the time another program holds the file: a pause may let the holder go.
#include "launch/clean_up_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "launch/file_mark_win32.h"
#include "launch/held_step.h"
#include "tests/launch/test_text.h"

namespace {

uint32_t simulatedNow = 0;
int pausesMade = 0;
int letGoAtPause = -1;  // the pause at which `letGo` runs; -1: never
std::function<void()> letGo;

const HoldClock kSimulatedClock = {
    [] { return simulatedNow; },
    [](uint32_t ms) {
      simulatedNow += ms;
      if (++pausesMade == letGoAtPause && letGo) letGo();
    },
};

WideString WideOf(const std::wstring& path) {
  return WideString(reinterpret_cast<const char16_t*>(path.data()), path.size());
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class CleanUp : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_NE(length, 0u);
    folder_ = std::wstring(temp, length) + L"vossimere-clean-up-" +
              std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    simulatedNow = 0xFFFFF000u;  // the tick count wraps during the longer waits
    pausesMade = 0;
    letGoAtPause = -1;
    letGo = nullptr;
  }

  void TearDown() override {
    letGo = nullptr;
    for (HANDLE& handle : holders_) {
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
      handle = INVALID_HANDLE_VALUE;
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Path(name).c_str());
      } while (FindNextFileW(find, &entry));
      FindClose(find);
    }
    RemoveDirectoryW(folder_.c_str());
  }

  std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }

  // Writes a small file at `name`, with `attributes`, and returns its path.
  std::wstring Write(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    std::wstring path = Path(name);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "installer", 9, &written, nullptr));
    CloseHandle(file);
    EXPECT_TRUE(SetFileAttributesW(path.c_str(), attributes));
    return path;
  }

  // What the run's own hold would have read of the file at `path`.
  static HeldFileMark MarkAt(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    HeldFileMark mark = MarkOf(file);
    CloseHandle(file);
    return mark;
  }

  // Another program's handle on the file at `path`, let go at the pause `letGoAt` of the wait
  // (-1: only when the case ends).
  HANDLE& Hold(const std::wstring& path, DWORD access, DWORD share, int letGoAt) {
    HANDLE& holder = holders_[holdersUsed_++];
    holder = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(holder, INVALID_HANDLE_VALUE) << GetLastError();
    if (letGoAt >= 0) {
      letGoAtPause = letGoAt;
      letGo = [&holder] {
        CloseHandle(holder);
        holder = INVALID_HANDLE_VALUE;
      };
    }
    return holder;
  }

  // Deletes the file at `path` as the clean-up does; true when the run marked it.
  bool Delete(const std::wstring& path, const HeldFileMark& kept, bool& heldSince) {
    return DeleteExtractedFile(WideOf(path), kept, heldSince, wait_);
  }

  std::wstring folder_;
  HANDLE holders_[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
  int holdersUsed_ = 0;
  HoldWait wait_{&kSimulatedClock};
};

}  // namespace

TEST_F(CleanUp, AFileNobodyHoldsGoesAtOnceAlsoWhenReadOnlyHiddenOrSystem) {
  for (DWORD attributes :
       {DWORD{FILE_ATTRIBUTE_NORMAL}, DWORD{FILE_ATTRIBUTE_READONLY},
        DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}) {
    SCOPED_TRACE(attributes);
    std::wstring path = Write(L"setup.exe", attributes);
    bool heldSince = false;
    EXPECT_TRUE(Delete(path, MarkAt(path), heldSince));
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(heldSince);
  }
  EXPECT_EQ(pausesMade, 0);
  EXPECT_EQ(wait_.spentMs, 0u);
}

// A scanner that opened the file without delete sharing: the deletion waits until it lets go.
TEST_F(CleanUp, AFileInUseWithoutDeleteSharingIsWaitedForAndGoesWhenLetGo) {
  std::wstring path = Write(L"product.msi");
  HeldFileMark kept = MarkAt(path);
  Hold(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 3);
  bool heldSince = false;
  EXPECT_TRUE(Delete(path, kept, heldSince));
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(heldSince);
  EXPECT_EQ(pausesMade, 3);
  EXPECT_EQ(wait_.spentMs, 3 * kHoldPauseMs);
}

// A read-only file another program holds sharing nothing: waited for, then deleted although it is
// read-only.
TEST_F(CleanUp, AReadOnlyFileHeldWithoutSharingGoesOnceLetGo) {
  std::wstring path = Write(L"setup.exe", FILE_ATTRIBUTE_READONLY);
  HeldFileMark kept = MarkAt(path);
  Hold(path, GENERIC_READ, 0, 2);
  bool heldSince = false;
  EXPECT_TRUE(Delete(path, kept, heldSince));
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(pausesMade, 2);
}

TEST_F(CleanUp, AFileHeldForGoodStaysAfterTheRunsWaitAndALaterStepDoesNotWaitAgain) {
  std::wstring package = Write(L"product.msi");
  Hold(package, GENERIC_READ, FILE_SHARE_READ, -1);
  bool heldSince = false;
  EXPECT_FALSE(Delete(package, MarkAt(package), heldSince));
  EXPECT_TRUE(Exists(package));
  EXPECT_EQ(pausesMade, static_cast<int>(kHoldWaitLimitMs / kHoldPauseMs));
  EXPECT_EQ(wait_.spentMs, kHoldWaitLimitMs);
  // The folder is not empty: it stays, at once.
  RemoveFolder(WideOf(folder_), WideOf(Path(L"setup.exe")), false, WideOf(package), false, wait_);
  EXPECT_TRUE(Exists(folder_));
  EXPECT_EQ(pausesMade, static_cast<int>(kHoldWaitLimitMs / kHoldPauseMs));
}

// Another start of the launcher file wrote the file anew after the run let go: it is left to that
// start, without a wait.
TEST_F(CleanUp, AnotherFileUnderTheNameIsLeft) {
  std::wstring path = Write(L"setup.exe");
  HeldFileMark kept = MarkAt(path);
  // The file's id as this system reads it (FILE_ID_INFO where it has it) tells the file.
  EXPECT_TRUE(IdentityTells(kept.identity));
  EXPECT_FALSE(SameIdentity(kept.identity, MarkAt(Write(L"other.msi")).identity));
  kept.identity.idLow ^= 1;
  bool heldSince = false;
  EXPECT_FALSE(Delete(path, kept, heldSince));
  EXPECT_TRUE(Exists(path));
  EXPECT_EQ(pausesMade, 0);
}

TEST_F(CleanUp, TheFolderGoesWhenEmptyAndStaysAtOnceWithAFileTheInstallerLeft) {
  std::wstring log = Write(L"install.log");
  RemoveFolder(WideOf(folder_), WideOf(Path(L"setup.exe")), false, WideOf(Path(L"product.msi")),
               false, wait_);
  EXPECT_TRUE(Exists(log));
  EXPECT_EQ(pausesMade, 0);
  ASSERT_TRUE(DeleteFileW(log.c_str()));
  RemoveFolder(WideOf(folder_), WideOf(Path(L"setup.exe")), false, WideOf(Path(L"product.msi")),
               false, wait_);
  EXPECT_FALSE(Exists(folder_));
  EXPECT_EQ(pausesMade, 0);
}

// A mapped view of the file refuses the deletion through the run's handle with access denied
// (STATUS_CANNOT_DELETE): the ended installer's image for a moment after its process is signalled,
// or a scanner that maps the file. It is waited for like a hold, and the file goes once unmapped.
TEST_F(CleanUp, AMappedFileIsWaitedForAndGoesOnceUnmapped) {
  std::wstring path = Write(L"setup.exe");
  HeldFileMark kept = MarkAt(path);
  HANDLE& file =
      Hold(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, -1);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr) << GetLastError();
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr) << GetLastError();
  CloseHandle(mapping);
  CloseHandle(file);  // the view alone holds the file now
  file = INVALID_HANDLE_VALUE;
  letGoAtPause = 3;
  letGo = [&view] {
    UnmapViewOfFile(view);
    view = nullptr;
  };
  bool heldSince = false;
  bool marked = Delete(path, kept, heldSince);
  if (view) UnmapViewOfFile(view);
  EXPECT_TRUE(marked);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(pausesMade, 3);
}

// The installer deleted a file while a scanner held it with delete sharing: where the name stays
// until the scanner lets go (FAT, shares, Windows before 1809), it is the only thing in the
// folder, its attributes no longer read, and the folder's removal waits for it.
TEST_F(CleanUp, TheFolderWaitsForANameTheInstallerDeletedWhileAScannerHeldIt) {
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
    GTEST_SKIP() << "Wine keeps a deleted file's name readable until its last holder lets go, so "
                    "nothing tells it from a file the installer left";
  }
  std::wstring log = Write(L"install.log");
  Hold(log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 2);
  ASSERT_TRUE(DeleteFileW(log.c_str())) << GetLastError();
  RemoveFolder(WideOf(folder_), WideOf(Path(L"setup.exe")), false, WideOf(Path(L"product.msi")),
               false, wait_);
  EXPECT_FALSE(Exists(folder_));
  // Where the system deletes the name at once (NTFS from Windows 10 1809 on), nothing is waited
  // for.
  EXPECT_LE(pausesMade, 2);
}

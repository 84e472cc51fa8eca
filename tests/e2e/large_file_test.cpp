// Launcher files of 2 GiB or more lie outside the format, whose length is a signed 32-bit value:
// they are refused as files without a trailer, before the trailer is read (so with an empty
// caption), even when a valid trailer sits in their last 128 KiB or where their length's low 32
// bits would point; from 4 GiB on, Windows itself refuses to start them. One byte less is still an
// ordinary launcher file. The files are sparse, so they cost neither time nor disk space.
#include <gtest/gtest.h>
#include <windows.h>

#include "launch/messages.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"
#include "tests/support/sparse_file_win32.h"

class LargeLauncherFile : public LauncherCase {
 protected:
  // A launcher file of `length` bytes: the image, installer and package at its start, the trailer
  // 1,024 bytes before its end (a multiple of 128 when `length` is), a hole between.
  std::wstring WriteWithTrailerAtTheEnd(const LauncherContents& contents, uint64_t length) {
    std::vector<uint8_t> names = EncodeNamesBlock(contents.names);
    LauncherLayout layout = DistributedLayout(contents.stub.size(), contents.installer.size(),
                                              contents.package.size(), 0);
    AnchorRecord record =
        MakeAnchorRecord(static_cast<uint32_t>(contents.stub.size()), contents.installerTime,
                         contents.packageTime, static_cast<uint32_t>(layout.installerOffset),
                         static_cast<uint32_t>(contents.installer.size()),
                         static_cast<uint32_t>(layout.packageOffset),
                         static_cast<uint32_t>(contents.package.size()));
    std::vector<uint8_t> front = contents.stub;
    PlaceBytes(front, layout.installerOffset, contents.installer);
    PlaceBytes(front, layout.packageOffset, contents.package);
    uint64_t trailerOffset = (length & ~uint64_t{127}) - 1024;
    std::vector<uint8_t> tail = EncodeTrailer(record, contents.names);
    tail.resize(length - trailerOffset, 0);

    std::wstring path = PathIn(caseFolder_, L"large.exe");
    EXPECT_TRUE(WriteSparseFile(path, front, length, tail));
    return path;
  }

  void ExpectRefusedWithoutAnchor(const std::wstring& launcher) {
    ExpectOnlyBox(launcher, ErrorBox(L"", Wide(kNoAnchor)));
    EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
  }
};

TEST_F(LargeLauncherFile, OneByteBelowTwoGibibytesIsAnOrdinaryLauncherFile) {
  LauncherContents contents = UsualContents();
  std::wstring launcher = WriteWithTrailerAtTheEnd(contents, 0x7FFFFFFF);

  ExpectCleanInstall(Run(launcher), contents);
}

TEST_F(LargeLauncherFile, TwoGibibytesAreRefusedEvenWithAValidTrailerAtTheEnd) {
  ExpectRefusedWithoutAnchor(WriteWithTrailerAtTheEnd(UsualContents(), 0x80000000));
}

// Whether the system starts the file at all (suspended, and ended again at once): ERROR_SUCCESS,
// or CreateProcessW's error.
static DWORD StartAnswer(const std::wstring& path) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &process)) {
    return GetLastError();
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ERROR_SUCCESS;
}

TEST_F(LargeLauncherFile, FourGibibytesAndMoreAreNotTakenForTheirLow32Bits) {
  // The first bytes are a complete small launcher file whose length equals the low 32 bits of the
  // whole file's length: a launcher that dropped the high bits would find its trailer and install.
  std::vector<uint8_t> small = BuildLauncher(UsualContents());
  std::wstring launcher = PathIn(caseFolder_, L"large.exe");
  ASSERT_TRUE(WriteSparseFile(launcher, small, 0x100000000 + small.size(), {}));
  // Windows refuses to start an image of 4 GiB or more (ERROR_BAD_EXE_FORMAT), which is accepted;
  // Wine starts it, and the launcher must refuse it (docs/messages.md, "There is no anchor.").
  DWORD answer = StartAnswer(launcher);
  if (answer != ERROR_SUCCESS) {
    EXPECT_EQ(answer, static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
    return;
  }
  ExpectRefusedWithoutAnchor(launcher);
}

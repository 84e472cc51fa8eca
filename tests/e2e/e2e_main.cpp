// The end-to-end driver:
//   launcher_e2e_tests <Vossimere.exe> <fake_installer.exe> <planted DLL> [GoogleTest flags]
// Every case works in a folder of its own under e2e-work in the current directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: launcher_e2e_tests <Vossimere.exe> <fake_installer.exe> <planted DLL>\n");
    return 2;
  }
  if (!LoadPrograms(WindowsPathOf(argv[1]), WindowsPathOf(argv[2]))) {
    std::fprintf(stderr, "launcher_e2e_tests: cannot read the launcher or the fake installer\n");
    return 2;
  }
  SetPlantedDllPath(WindowsPathOf(argv[3]));

  wchar_t directory[MAX_PATH];
  DWORD length = GetCurrentDirectoryW(MAX_PATH, directory);
  std::wstring here(directory, length);
  SetWorkRoot(PathIn(here, L"e2e-work"));
  // What an interrupted run left can hold a link only Linux can remove.
  bool cleared = RemoveTree(WorkRoot()) ||
                 (IsRunningUnderWine() && RemoveTreeFromLinux(here, L"e2e-work"));
  if (!cleared || !MakeFolder(WorkRoot())) {
    std::fprintf(stderr, "launcher_e2e_tests: cannot prepare the work folder\n");
    return 2;
  }

  int result = RUN_ALL_TESTS();
  RemoveTree(WorkRoot());
  return result;
}

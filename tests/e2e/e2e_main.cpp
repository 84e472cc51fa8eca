// The end-to-end driver:
//   launcher_e2e_tests <Vossimere.exe> <fake_installer.exe> <planted DLL> <NSIS installer, 64-bit>
//                      <NSIS installer, 32-bit> <stand-in scanner> [GoogleTest flags]
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
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: launcher_e2e_tests <Vossimere.exe> <fake_installer.exe> <planted DLL>\n"
                 "                          <NSIS installer, 64-bit> <NSIS installer, 32-bit>\n"
                 "                          <stand-in scanner>\n");
    return 2;
  }
  if (!LoadPrograms(WindowsPathOf(argv[1]), WindowsPathOf(argv[2])) ||
      !LoadNsisInstallers(WindowsPathOf(argv[4]), WindowsPathOf(argv[5]))) {
    std::fprintf(stderr, "launcher_e2e_tests: cannot read the launcher or an installer\n");
    return 2;
  }
  SetPlantedDllPath(WindowsPathOf(argv[3]));
  SetScannerPath(WindowsPathOf(argv[6]));

  wchar_t directory[MAX_PATH];
  DWORD length = GetCurrentDirectoryW(MAX_PATH, directory);
  std::wstring here(directory, length);
  SetWorkRoot(PathIn(here, L"e2e-work"));
  // What an interrupted run left can hold a link only Linux can remove.
  bool cleared =
      RemoveTree(WorkRoot()) || (IsRunningUnderWine() && RemoveTreeFromLinux(here, L"e2e-work"));
  if (!cleared || !MakeFolder(WorkRoot())) {
    std::fprintf(stderr, "launcher_e2e_tests: cannot prepare the work folder\n");
    return 2;
  }

  int result = RUN_ALL_TESTS();
  RemoveTree(WorkRoot());
  return result;
}

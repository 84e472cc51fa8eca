// The end-to-end driver; each case works in a folder of its own under e2e-work (tests/README.md):
//   launcher_e2e_tests [--without-linux-commands] <Vossimere.exe> <fake_installer.exe>
//                      <planted DLL> <NSIS installer, 64-bit> <NSIS installer, 32-bit>
//                      <stand-in scanner> <signed launcher file> <its certificate (PEM)>
//                      <example setup.exe> <example product package> [GoogleTest flags]
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/own_handles_check.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"
#include "tests/support/wine_path.h"

// Takes the program's own option out of the arguments; whether it was there.
static bool TakeOption(int& argc, wchar_t** argv, const wchar_t* option) {
  bool found = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], option) == 0) {
      found = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return found;
}

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  bool withoutLinuxCommands = TakeOption(argc, argv, L"--without-linux-commands");
  // Listing the cases needs no fixture, no work folder and no look at the machine.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (argc != 11) {
    std::fprintf(stderr,
                 "usage: launcher_e2e_tests [--without-linux-commands] <Vossimere.exe>\n"
                 "                          <fake_installer.exe> <planted DLL>\n"
                 "                          <NSIS installer, 64-bit> <NSIS installer, 32-bit>\n"
                 "                          <stand-in scanner> <signed launcher file>\n"
                 "                          <its certificate (PEM)> <example setup.exe>\n"
                 "                          <example product package>\n");
    return 2;
  }
  if (!LoadPrograms(WindowsPathOf(argv[1]), WindowsPathOf(argv[2])) ||
      !LoadNsisInstallers(WindowsPathOf(argv[4]), WindowsPathOf(argv[5]))) {
    std::fprintf(stderr, "launcher_e2e_tests: cannot read the launcher or an installer\n");
    return 2;
  }
  SetPlantedDllPath(WindowsPathOf(argv[3]));
  SetScannerPath(WindowsPathOf(argv[6]));
  SetSigningFixtures(WindowsPathOf(argv[7]), WindowsPathOf(argv[8]));
  SetExampleProduct(WindowsPathOf(argv[9]), WindowsPathOf(argv[10]));
  AllowLinuxCommands(IsRunningUnderWine() && !withoutLinuxCommands);

  wchar_t directory[MAX_PATH];
  DWORD length = GetCurrentDirectoryW(MAX_PATH, directory);
  std::wstring here(directory, length);
  SetWorkRoot(PathIn(here, L"e2e-work"));
  // What an interrupted run left can hold a link only Linux can remove.
  bool cleared = RemoveTree(WorkRoot()) || RemoveTreeFromLinux(here, L"e2e-work");
  std::wstring probeFolder = PathIn(WorkRoot(), L"machine");
  if (!cleared || !MakeFolder(WorkRoot()) || !MakeFolder(probeFolder)) {
    std::fprintf(stderr, "launcher_e2e_tests: cannot prepare the work folder\n");
    return 2;
  }
  SetMachine(FindMachineFacts(probeFolder, withoutLinuxCommands));
  RemoveTree(probeFolder);
  std::fputs(DescribeMachine(Machine(), PlatformName()).c_str(), stdout);
  std::fflush(stdout);

  // Whatever works now must still work after every case.
  testing::UnitTest::GetInstance()->listeners().Append(new OwnHandlesCheck);
  int result = RUN_ALL_TESTS();
  RemoveTree(WorkRoot());
  return result;
}

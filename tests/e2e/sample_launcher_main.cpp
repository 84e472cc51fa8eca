// write-sample-launcher STUB INSTALLER OUT: the launcher file the end-to-end cases usually run
// (LauncherCase::UsualContents: the sample names and times, 5,000 bytes of package), built from
// the launcher STUB and the fake INSTALLER, for the build to sign as a publisher would. Paths may
// be Linux paths (the build runs it under Wine).
#include <windows.h>

#include <cstdio>

#include "tests/e2e/test_folder.h"
#include "tests/support/sample_files.h"
#include "tests/support/wine_path.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: write-sample-launcher STUB INSTALLER OUT\n");
    return 2;
  }
  std::vector<uint8_t> stub = ReadBytes(WindowsPathOf(argv[1]));
  std::vector<uint8_t> installer = ReadBytes(WindowsPathOf(argv[2]));
  if (stub.empty() || installer.empty()) {
    std::fprintf(stderr, "write-sample-launcher: cannot read the stub or the installer\n");
    return 1;
  }
  std::wstring out = WindowsPathOf(argv[3]);
  if (!WriteBytes(out, BuildLauncher(SampleContents(stub, installer)))) {
    DeleteFileW(out.c_str());
    std::fprintf(stderr, "write-sample-launcher: cannot write the launcher file\n");
    return 1;
  }
  return 0;
}

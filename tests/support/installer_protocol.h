// What the fake installer and the end-to-end driver agree on: the environment variables through
// which the driver steers the fake installer (the launcher passes its environment on to the
// installer it starts), the lines of the report the fake installer writes, and its content hash.
#pragma once

#include <cstddef>
#include <cstdint>

// Full path of the report file; without it the fake installer records nothing.
constexpr wchar_t kReportPathVariable[] = L"VOSSIMERE_E2E_REPORT";
// Decimal exit code of the fake installer; 0 when not set.
constexpr wchar_t kExitCodeVariable[] = L"VOSSIMERE_E2E_EXIT_CODE";
// Named event the fake installer sets once it has recorded what it saw.
constexpr wchar_t kStartedEventVariable[] = L"VOSSIMERE_E2E_STARTED_EVENT";
// Named event the fake installer waits for before it exits, so a test can act during the install.
constexpr wchar_t kReleaseEventVariable[] = L"VOSSIMERE_E2E_RELEASE_EVENT";
// When set, the fake installer moves its working directory out of its folder once it has recorded
// it, so that only the launcher's own hold keeps the folder in place.
constexpr wchar_t kLeaveFolderVariable[] = L"VOSSIMERE_E2E_LEAVE_FOLDER";
// Name of a file the fake installer leaves in its own folder.
constexpr wchar_t kLeaveFileVariable[] = L"VOSSIMERE_E2E_LEAVE_FILE";
// Name of a file in its own folder (its own, or the package) that the fake installer makes
// read-only just before it exits, as some installers leave what they were given.
constexpr wchar_t kReadOnlyFileVariable[] = L"VOSSIMERE_E2E_READ_ONLY_FILE";

// Decimal process id of the driver. The fake installer duplicates a handle to itself (SYNCHRONIZE)
// into that process and reports the handle's value, so that the driver can wait for its end
// through a handle it owns, and never through a process id that may have been given to another
// process by then.
constexpr wchar_t kWaiterProcessVariable[] = L"VOSSIMERE_E2E_WAITER";

// A held installer gives up waiting after this long, so a broken test never leaves it behind.
constexpr unsigned long kReleaseWaitLimitMs = 120000;

// The contents of the file the fake installer leaves.
constexpr char kLeftFileContents[] = "left behind by the installer\r\n";

// The report is UTF-16LE text without a byte-order mark, appended to once per installer start:
//   start <TAB> process id
//   waithandle <TAB> the handle to itself in the driver's process (16 hex digits), when the
//   driver asked for one and got it
//   cwd <TAB> working directory
//   module <TAB> own module path
//   commandline <TAB> command line
//   show <TAB> wShowWindow of the start-up info, or -1 when STARTF_USESHOWWINDOW is not set
//   file <TAB> name <TAB> size <TAB> content hash (16 hex digits) <TAB> last-write FILETIME
//   (one file line for every file beside the installer, directories not included)
//   end
// Each line ends with LF. The block is written with one write, after everything was gathered.
//
// The NSIS-built installer (tests/e2e/nsis_installer.nsi) writes the same block without the cwd,
// show and file lines (and with process id 0): it cannot read its working directory or hash a
// file. It adds instead:
//   silent <TAB> 1 when it runs silently (its /S switch), else 0
//   size <TAB> name <TAB> size (one size line for every file beside it)
constexpr wchar_t kStartTag[] = L"start";
constexpr wchar_t kWaitHandleTag[] = L"waithandle";
constexpr wchar_t kWorkingDirectoryTag[] = L"cwd";
constexpr wchar_t kModuleTag[] = L"module";
constexpr wchar_t kCommandLineTag[] = L"commandline";
constexpr wchar_t kShowTag[] = L"show";
constexpr wchar_t kFileTag[] = L"file";
constexpr wchar_t kEndTag[] = L"end";
constexpr wchar_t kSilentTag[] = L"silent";
constexpr wchar_t kSizeTag[] = L"size";

// 64-bit FNV-1a over a file's bytes, fed in pieces.
constexpr uint64_t kContentHashStart = 14695981039346656037ull;

inline uint64_t ContinueContentHash(uint64_t state, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    state ^= bytes[i];
    state *= 1099511628211ull;
  }
  return state;
}

// What the bench driver and the programs it starts agree on. The driver steers them through the
// environment, which the launcher passes on to the installer it starts.
#pragma once

// Full path of a file the bench installer writes when it starts, as decimal text separated by
// spaces: its performance-counter reading at entry, the size in bytes of the package beside it,
// and its process's creation time (a FILETIME, as GetProcessTimes gives it).
constexpr wchar_t kStampPathVariable[] = L"VOSSIMERE_BENCH_STAMP";
// File name of the package beside the bench installer whose size it reports.
constexpr wchar_t kPackageNameVariable[] = L"VOSSIMERE_BENCH_PACKAGE";
// Named event the held program sets once it is running (the bench installer, or the bare window
// once its window exists).
constexpr wchar_t kReadyEventVariable[] = L"VOSSIMERE_BENCH_READY";
// Named event the held program waits for before it exits.
constexpr wchar_t kReleaseEventVariable[] = L"VOSSIMERE_BENCH_RELEASE";

// Decimal exit code the bench installer ends with; 0 when not set.
constexpr wchar_t kExitCodeVariable[] = L"VOSSIMERE_BENCH_EXIT_CODE";

// A held program gives up waiting after this long, so a broken run never leaves it behind.
constexpr unsigned long kHoldLimitMs = 120000;

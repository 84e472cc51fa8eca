// The pack tool's exit codes, as --help documents them.
#pragma once

constexpr int kExitOk = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitUsageOrInput = 2;

// The facts about this machine, found once at the start of the run and printed, for every case's
// decision whether and how it runs (machine_facts.h).
#pragma once

#include <string>

#include "tests/e2e/machine_facts.h"

// Finds the facts. `probeFolder` is an empty folder the 32-bit probe may write into; Linux
// commands are allowed under Wine unless `withoutLinuxCommands`.
MachineFacts FindMachineFacts(const std::wstring& probeFolder, bool withoutLinuxCommands);
// "Windows 10.0.22631" or "Wine 8.0 (Windows 10.0.19043 as Wine reports it)".
std::string PlatformName();

void SetMachine(const MachineFacts& facts);
const MachineFacts& Machine();

// The definition of the scheduled task that runs one script as SYSTEM in session 0, in the Task
// Scheduler's XML form: a task with no trigger (it runs when asked to), the highest run level, and
// nothing that keeps it from starting or stops it on a machine that runs on batteries, such as a
// laptop or a virtual machine that reports a battery. schtasks' own switches cannot say the last.
// No platform calls.
#pragma once

#include <string>

// The whole document for `command` (the script's full path, run as it is), as schtasks /xml reads
// it once written in UTF-16 with a byte-order mark.
std::wstring SystemTaskDefinition(const std::wstring& command);

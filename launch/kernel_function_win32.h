// Functions of kernel32 that later Windows versions added, looked up as the launcher runs: the
// image also runs on systems that predate them, and imports nothing those lack.
#pragma once

// The kernel32 function of that name, or null where this system lacks it.
void* KernelFunction(const char* name);

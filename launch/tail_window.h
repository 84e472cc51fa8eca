// Where the search for the trailer begins.
#pragma once

#include <cstdint>

// The start W of the tail window for a file of `fileLength` bytes (the length taken as a signed
// 32-bit value): 0 for files of at most 128 KiB, otherwise fileLength - 128 KiB rounded up to a
// multiple of 128, so the window is never longer than 128 KiB. Files of 2 GiB or more (negative
// lengths) are outside the format; callers refuse them before asking.
int32_t WindowStart(int32_t fileLength);

// Where the search for the trailer begins.
#pragma once

#include <cstdint>

// The longest launcher file: the launcher takes its file's length as a signed 32-bit value, so a
// file of 2 GiB or more is outside the format.
constexpr uint32_t kLargestLauncherFile = 0x7FFFFFFF;

// The start W of the tail window for a file of `fileLength` bytes (the length taken as a signed
// 32-bit value): 0 for files of at most 128 KiB, otherwise fileLength - 128 KiB rounded up to a
// multiple of 128, so the window is never longer than 128 KiB. Files of 2 GiB or more (negative
// lengths) are outside the format; callers refuse them before asking.
int32_t WindowStart(int32_t fileLength);

// How many of the `n` bytes read from file offset `windowStart` on may be searched for the trailer
// and its names: all of them, unless the image's headers name a certificate table at file offset
// `tableOffset` inside a file of `fileLength` bytes. The search then ends where the table begins:
// the signature's hash leaves the table out, so bytes added inside it must never be taken for a
// trailer or a name (a name that runs into the table reads as unterminated). An offset of 0 names
// no table; one at or past the file's end names none there either (a signature cut off without
// clearing the header), and the whole window is searched as for an unsigned file.
int32_t SearchedLength(int32_t n, int32_t windowStart, int32_t fileLength, uint32_t tableOffset);

// How a file is recognised: which file it is on the machine, and whether the file under an
// extracted file's name is still the one the run held. The platform calls that read them are in
// image_file_win32.cpp and file_mark_win32.cpp.
#pragma once

#include <cstdint>

// What identifies a file on the machine: the volume's serial number and the file's index on it.
struct FileIdentity {
  uint32_t volumeSerial;
  uint32_t indexHigh;
  uint32_t indexLow;
};

bool SameFile(const FileIdentity& one, const FileIdentity& other);

// What the clean-up knows of an extracted file, read on the run's own hold of it just before the
// hold ends, after the installer has ended: which file it is, and when it last changed (0 where
// the system does not tell).
struct HeldFileMark {
  FileIdentity identity;
  uint64_t changed;
};

// Whether the file found under an extracted file's name at the clean-up is still the one the run
// held. Another start of the same launcher file writes into the same file, over it, as soon as the
// hold has ended, and writes the same bytes with the same time stamp: only the change time tells
// its file from this run's, and the run must not delete it from under that start.
//
// Where either change time is 0 the mark cannot tell: FAT volumes report none, and keep the file's
// identity (made from its directory entry's place) when it is written over. Then the file counts as
// the run's only while nobody has held either file since the run let go (`heldSince`): another
// start holds each file, sharing no deletion, while it writes it and from its own hold on, and
// writes the installer before the package; the clean-up opens the files just after it let go, too
// soon for another start to have written a whole file in between unless something held the run
// up. A clean-up that met a holder leaves the file.
bool IsFileTheRunHeld(const HeldFileMark& kept, const HeldFileMark& found, bool heldSince);

// How a file is recognised: which file it is on the machine, and whether the file under an
// extracted file's name is still the one the run held. The platform calls that read them are in
// image_file_win32.cpp and file_mark_win32.cpp.
#pragma once

#include <cstdint>

// What identifies a file on the machine: the volume's serial number and the file's id on it. The id
// is the 128-bit one where the system gives it (FILE_ID_INFO: the 64-bit index need not be unique
// on ReFS), else the 64-bit file index in the low half.
struct FileIdentity {
  uint64_t volumeSerial;
  uint64_t idHigh;
  uint64_t idLow;
};

bool SameIdentity(const FileIdentity& one, const FileIdentity& other);

// Whether the id names one file: a file system without ids gives 0, and a file no unique id can be
// established for gets all ones, in the 128-bit or the 64-bit form (docs/security.md, "The file
// read is the file that was started").
bool IdentityTells(const FileIdentity& identity);

// What the clean-up knows of an extracted file, read on the run's own hold of it just before the
// hold ends, after the installer has ended: which file it is, and when it last changed (0 where
// the system does not tell).
struct HeldFileMark {
  FileIdentity identity;
  uint64_t changed;
};

// Whether the file found under an extracted file's name at the clean-up is still the one the run
// held: another start of the same launcher file writes the same bytes with the same time stamp
// into it once the hold has ended, and only the change time tells its file from this run's. Where
// a change time is 0 (FAT), the file counts as the run's only while no attempt of the run met a
// holder of either file since it let go (`heldSince`); where the identity tells nothing, the change
// time alone decides, and with neither the file stays. The reasons are in docs/security.md
// ("Extracted files are held open while the installer runs").
bool IsFileTheRunHeld(const HeldFileMark& kept, const HeldFileMark& found, bool heldSince);

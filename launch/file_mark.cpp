#include "launch/file_mark.h"

bool SameFile(const FileIdentity& one, const FileIdentity& other) {
  return one.volumeSerial == other.volumeSerial && one.indexHigh == other.indexHigh &&
         one.indexLow == other.indexLow;
}

bool IsFileTheRunHeld(const HeldFileMark& kept, const HeldFileMark& found, bool heldSince) {
  if (!SameFile(kept.identity, found.identity)) return false;
  if (kept.changed == 0 || found.changed == 0) return !heldSince;  // the mark cannot tell
  return kept.changed == found.changed;
}

#include "launch/file_mark.h"

bool SameFile(const FileIdentity& one, const FileIdentity& other) {
  return one.volumeSerial == other.volumeSerial && one.indexHigh == other.indexHigh &&
         one.indexLow == other.indexLow;
}

bool IsFileTheRunHeld(const HeldFileMark& kept, const HeldFileMark& found) {
  return SameFile(kept.identity, found.identity) && kept.changed == found.changed;
}

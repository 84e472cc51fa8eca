#include "launch/file_mark.h"

bool SameIdentity(const FileIdentity& one, const FileIdentity& other) {
  return one.volumeSerial == other.volumeSerial && one.idHigh == other.idHigh &&
         one.idLow == other.idLow;
}

bool IdentityTells(const FileIdentity& identity) {
  constexpr uint64_t kAllOnes = ~uint64_t{0};
  // The 64-bit form lies in the low half, with a high half of 0.
  bool none = identity.idHigh == 0 && (identity.idLow == 0 || identity.idLow == kAllOnes);
  return !none && !(identity.idHigh == kAllOnes && identity.idLow == kAllOnes);
}

bool IsFileTheRunHeld(const HeldFileMark& kept, const HeldFileMark& found, bool heldSince) {
  bool identityTells = IdentityTells(kept.identity) && IdentityTells(found.identity);
  if (identityTells && !SameIdentity(kept.identity, found.identity)) return false;
  // Without a change time only the identity and the holds met tell the file.
  if (kept.changed == 0 || found.changed == 0) return identityTells && !heldSince;
  return kept.changed == found.changed;
}

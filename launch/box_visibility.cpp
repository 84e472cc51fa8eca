#include "launch/box_visibility.h"

bool InIsolatedSessionZero(bool sessionKnown, uint32_t sessionId, uint32_t windowsMajorVersion) {
  return sessionKnown && sessionId == 0 && windowsMajorVersion >= 6;
}

bool ErrorBoxCanBeSeen(bool stationFlagsKnown, uint32_t stationFlags, bool isolatedSessionZero) {
  if (isolatedSessionZero) return false;
  return !stationFlagsKnown || (stationFlags & kVisibleStationFlag) != 0;
}

#include "launch/tail_window.h"

#include "launch/anchor_record.h"

int32_t WindowStart(int32_t fileLength) {
  if (fileLength <= kTailWindowSize) return 0;
  return (fileLength - kTailWindowSize + (kAnchorAlignment - 1)) & ~(kAnchorAlignment - 1);
}

int32_t SearchedLength(int32_t n, int32_t windowStart, int32_t fileLength, uint32_t tableOffset) {
  if (tableOffset == 0 || fileLength < 0 || tableOffset >= static_cast<uint32_t>(fileLength)) {
    return n;
  }
  int32_t room = static_cast<int32_t>(tableOffset) - windowStart;
  if (room < 0) return 0;
  return room < n ? room : n;
}

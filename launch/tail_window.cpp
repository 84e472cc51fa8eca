#include "launch/tail_window.h"

#include "launch/anchor_record.h"

int32_t WindowStart(int32_t fileLength) {
  if (fileLength <= kTailWindowSize) return 0;
  return (fileLength - kTailWindowSize + (kAnchorAlignment - 1)) & ~(kAnchorAlignment - 1);
}

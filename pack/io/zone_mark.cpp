#include "pack/io/zone_mark.h"

MarkWrite MarkWriteFor(bool volumeAnswered, bool namedStreams) {
  if (!volumeAnswered) return MarkWrite::kTry;
  return namedStreams ? MarkWrite::kWrite : MarkWrite::kSkip;
}

// What the launcher has read of its own trailer. Written by LocatePayload and read afterwards by
// the install run and the error boxes, all on the worker thread; nothing is locked.
#pragma once

#include "launch/anchor_record.h"
#include "launch/scan_tail.h"

extern PayloadNames LoadedNames;   // empty until the trailer has been read
extern AnchorRecord LoadedAnchor;  // a copy of the accepted record

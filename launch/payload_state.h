// What the launcher has read of its own trailer. Written by LocatePayload and read afterwards by
// the install run and the error boxes, all on the worker thread; nothing is locked.
#pragma once

#include "launch/anchor_record.h"
#include "launch/scan_tail.h"

extern PayloadNames& LoadedNames;  // empty until the trailer has been read
extern AnchorRecord LoadedAnchor;  // a copy of the accepted record

// Builds the empty LoadedNames. The launcher image has no C runtime to construct or destroy
// process-wide objects, so its start-up code calls this once, before anything else runs. The names
// are never destroyed: the process ends with ExitProcess, which returns their memory with the
// rest of the process's.
void StartPayloadState();

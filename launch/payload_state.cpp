#include "launch/payload_state.h"

#include <new>

// Plain static storage: an object with a destructor here would have the compiler register that
// destructor with the C runtime at start-up.
alignas(PayloadNames) static unsigned char NamesStorage[sizeof(PayloadNames)];

PayloadNames& LoadedNames = reinterpret_cast<PayloadNames&>(NamesStorage);
AnchorRecord LoadedAnchor;

void StartPayloadState() { new (NamesStorage) PayloadNames(); }

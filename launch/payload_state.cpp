#include "launch/payload_state.h"

PayloadNames LoadedNames;
AnchorRecord LoadedAnchor;

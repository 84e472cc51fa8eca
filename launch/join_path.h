// Path building: exactly one backslash between a directory and a name.
#pragma once

#include "launch/wide_string.h"

// An empty directory gives `name` alone; a directory ending in a backslash is followed directly by
// `name`; any other last character (a forward slash too) gets one backslash before `name`. The
// name itself is never inspected.
WideString JoinPath(const WideString& directory, const WideString& name);

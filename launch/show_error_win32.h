// The one way the launcher tells a user anything: a modal error box.
#pragma once

#include <cstdint>

#include "launch/messages.h"

// Shows the message in an error box without an owner window, captioned with the product title as
// read so far (empty before the trailer is read), and returns when the user has closed it. Where
// nobody can see a box (a window station without display, as for services and deployment agents)
// it shows none and returns at once. Either way it returns the message's exit code, which the
// failing step hands back to end the run with.
uint32_t ShowError(const LauncherMessage& message);
uint32_t ShowError(const ComposedMessage& message);

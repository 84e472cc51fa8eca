// The one way the launcher tells a user anything: a modal error box.
#pragma once

#include <cstdint>

#include "launch/messages.h"

// Shows the message in an error box without an owner window, captioned with the product title as
// read so far (empty before the trailer is read), and returns when the user has closed it. Where
// nobody can see a box (a window station without display, as for services and deployment agents)
// it shows none and returns at once. Either way the message's exit code becomes the run's.
void ShowError(const LauncherMessage& message);
void ShowError(const ComposedMessage& message);

// The exit code of the message ShowError last reported, shown or not; 0 before any.
uint32_t ReportedExitCode();

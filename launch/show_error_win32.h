// The one way the launcher tells a user anything: a modal error box.
#pragma once

#include "launch/wide_string.h"

// Shows `text` in an error box without an owner window, captioned with the product title as read
// so far (empty before the trailer is read), and returns when the user has closed it.
void ShowError(const char16_t* text);
inline void ShowError(const WideString& text) { ShowError(text.Data()); }

#include "launch/show_error_win32.h"

#include "launch/messages.h"
#include "launch/payload_state.h"
#include "launch/win32_text.h"

void ShowError(const char16_t* text) {
  MessageBoxW(nullptr, AsWide(text), AsWide(MessageCaption(LoadedNames.title)),
              MB_OK | MB_ICONERROR);
}

// Every text the launcher can show a user. They are fixed in the program, not in the resources,
// and there is no other language.
#pragma once

#include "launch/wide_string.h"

extern const char16_t kOwnPathUnavailable[];    // own file's path name cannot be obtained
extern const char16_t kTempPathUnavailable[];   // temporary folder's path name cannot be obtained
extern const char16_t kInstallFileNotOpened[];  // own file cannot be opened
extern const char16_t kNoAnchor[];              // no usable trailer
extern const char16_t kTempFileNotCreated[];    // sentence of the creation message
extern const char16_t kInstallFileNotRead[];    // reading an embedded file failed or came up short
extern const char16_t kTempFileNotWritten[];    // writing the extracted copy failed
extern const char16_t kInstallerNotStarted[];   // the shell could not start the installer

// The creation message: the sentence, a blank line (CR LF CR LF), then the path of the file that
// could not be created, with nothing after it.
WideString CreationMessage(const WideString& path);

// The caption of an error box: the product title as it stands at that moment; empty (never
// missing) before the trailer has been read.
const char16_t* MessageCaption(const WideString& title);

// Every text the launcher can show a user, and the exit code the process ends with after each. The
// texts are fixed in the program, not in the resources, and there is no other language. All the
// codes are in launch/exit_codes.h.
#pragma once

#include <cstdint>

#include "launch/wide_string.h"

struct LauncherMessage {
  const char16_t* text;
  uint32_t exitCode;
};

extern const LauncherMessage kOwnPathUnavailable;    // own file's path name cannot be obtained
extern const LauncherMessage kTempPathUnavailable;   // temporary folder's path name unavailable
extern const LauncherMessage kInstallFileNotOpened;  // own file cannot be opened
extern const LauncherMessage kNoAnchor;              // no usable trailer
extern const LauncherMessage kTempFileNotCreated;    // sentence of the creation message
extern const LauncherMessage kInstallFileNotRead;    // an embedded file could not be read whole
extern const LauncherMessage kTempFileNotWritten;    // writing the extracted copy failed
extern const LauncherMessage kInstallerNotStarted;   // the shell could not start the installer

// A message built with its variable part, and the exit code of the message it was built from.
struct ComposedMessage {
  WideString text;
  uint32_t exitCode;
};

// The creation message: the sentence, a blank line (CR LF CR LF), then the path of the file that
// could not be created, with nothing after it.
ComposedMessage CreationMessage(const WideString& path);

// The caption of an error box: the product title as it stands at that moment; empty (never
// missing) before the trailer has been read.
const char16_t* MessageCaption(const WideString& title);

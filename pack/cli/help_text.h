// The --help texts of the tool and of each command (help_text.cpp); the man pages are made from
// them.
#pragma once

extern const char kToolHelp[];
extern const char kBuildHelp[];
extern const char kInspectHelp[];
extern const char kVerifyHelp[];
extern const char kExtractHelp[];
extern const char kManifestHelp[];

// Text from a launcher file (titles, names) and file names, made safe to show in a terminal or a
// CI log: a hostile file must not be able to start a line of its own (a forged "::error" or
// "##vso[" command), send terminal control sequences, or reorder what is shown around it.
#pragma once

#include <string>

// C0 and C1 controls and DEL.
bool IsControlCharacter(char32_t c);

// C0 and C1 controls and DEL, the bidirectional embeddings, overrides, isolates and marks
// (U+061C, U+200E, U+200F, U+202A-U+202E, U+2066-U+2069), and the line and paragraph separators.
bool IsUnsafeForTerminal(char32_t c);

// `utf8` with every such character written as \uXXXX (as a JSON string would hold it), and every
// byte that is not part of well-formed UTF-8 as \xHH. Everything else is kept as it is.
std::string TerminalText(const std::string& utf8);

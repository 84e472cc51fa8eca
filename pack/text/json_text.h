// The pieces of the pack tool's JSON reports (inspect --json, verify --json): strings escaped so
// that every report is one line of valid JSON in pure ASCII, which reads the same whatever code
// page a console or PowerShell decodes it with, and integers too large for a double written as
// strings of digits.
#pragma once

#include <cstdint>
#include <string>

// A JSON string literal of UTF-8 text, quotes included: every character outside printable ASCII
// as \uXXXX (a surrogate pair beyond U+FFFF), and every byte that is not part of well-formed UTF-8
// as the four characters \xHH, as the text reports show it.
std::string JsonString(const std::string& utf8);

// A FILETIME as a JSON string of decimal digits: its values lie above 2^53, beyond which jq and
// JavaScript, which read every number as a double, would lose the last digits.
std::string JsonFiletime(uint64_t filetime);

// The rules a name must meet to be used by the launcher as one path component on Windows: the
// folder created in the temporary folder and the two files written into it; and the one rule of
// the title.
#pragma once

#include <optional>
#include <string>

// Why `name` cannot be a Windows file name, or nothing when it can. The reason reads after the
// name, e.g. "contains '/', a path separator".
std::optional<std::string> FileNameProblem(const std::u16string& name);

// The reserved device name `name` stands for on Windows 10 and later (CON, NUL.exe, COM1.txt,
// "AUX .txt", COM¹...), or nothing. FileNameProblem refuses these names among others.
std::optional<std::string> ReservedDeviceName(const std::u16string& name);

// Whether NTFS takes both names for one file: it compares names unit by unit after mapping each
// UTF-16 unit to upper case (UpperCaseUnit).
bool SameFileName(const std::u16string& a, const std::u16string& b);

// The upper case of one UTF-16 unit as NTFS maps it when it compares names: Unicode's simple
// upper-case mapping of the characters of the Basic Multilingual Plane that map to one character
// there (a → A, ä → Ä, я → Я, ｆ → Ｆ, ǆ → Ǆ, ſ → S); everything else, surrogates and the
// characters whose upper case is two characters (ß) among them, is its own upper case.
char16_t UpperCaseUnit(char16_t unit);

// Why `title` cannot be the title (the caption of the launcher's messages), or nothing when it
// can: it holds a C0 or C1 control character or DEL. The reason reads after the title.
std::optional<std::string> TitleProblem(const std::u16string& title);

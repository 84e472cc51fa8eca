// What the planted DLL and the end-to-end driver agree on: the file the DLL writes beside itself
// when any process loads it.
#pragma once

constexpr wchar_t kPlantedMarkerName[] = L"planted-dll-was-loaded.txt";
constexpr char kPlantedMarkerLine[] = "loaded\r\n";

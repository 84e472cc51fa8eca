// What the tests, the fuzz corpus and the bench make their launcher files from: bytes in a
// pattern, and the names and times of a sample launcher file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/format/launcher_appearance.h"
#include "pack/format/trailer_writer.h"
#include "tests/support/launcher_builder.h"

// `count` bytes that differ from one seed to another and from one position to the next.
std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed);
// The same bytes made in pieces, for files too large to hold: start with PatternState(seed) and
// fill piece after piece with the same state.
uint32_t PatternState(uint32_t seed);
void FillPattern(uint8_t* bytes, size_t count, uint32_t& state);

// "Corvalinth", a GUID folder name, setup.exe and Corvalinth.msi.
TrailerNames SampleNames();
// Two distinct last-write times with a fraction of a second.
constexpr uint64_t kSampleInstallerTime = 133536816001234567ull;  // 2024-02-29T12:00:00.1234567Z
constexpr uint64_t kSamplePackageTime = 133536852000000000ull;    // 2024-02-29T13:00:00Z

// The sample launcher file's contents, the one builder of them: the sample names and times with
// the given stub, installer and package.
LauncherContents SampleContents(std::vector<uint8_t> stub, std::vector<uint8_t> installer,
                                std::vector<uint8_t> package);
// The same with a package of `packageSize` patterned bytes: what the end-to-end cases run (with
// the launcher and the fake installer), and the signed launcher file the build makes of them.
constexpr size_t kSamplePackageSize = 5000;
LauncherContents SampleContents(std::vector<uint8_t> stub, std::vector<uint8_t> installer,
                                size_t packageSize = kSamplePackageSize);
// The same around the synthetic image, with 3,001 patterned bytes of installer: what the pack
// tool's tests build, inspect, verify and extract.
LauncherContents SampleContents();

// An icon file as a publisher's drawing program saves it: 16- and 32-pixel 32-bit bitmaps and a
// 256-pixel PNG (stored, uncompressed deflate blocks), each image filled with one colour.
std::vector<uint8_t> SampleIcon();
// A publisher's icon (SampleIcon) and version information: file 2.5.0.17, product 2.5.0.0,
// English (United States), with company, description and product name.
LauncherAppearance SampleAppearance();

// Runs the pack tool's commands in-process on files in a fresh temporary folder, and makes the
// launcher files the tests need: built by the shared in-memory writer, then broken on purpose.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/launcher_builder.h"

struct ToolRun {
  int code;
  std::string out;
  std::string err;
};

// FILETIMEs the fixture gives its input files.
constexpr uint64_t kInstallerFileTime = 133536816001234567ull;  // 2024-02-29T12:00:00.1234567Z
constexpr uint64_t kPackageFileTime = 133536852000000000ull;    // 2024-02-29T13:00:00Z

class PackToolTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ToolRun Run(const std::vector<std::string>& args);
  // build with the fixture's stub, installer and package and the given extra options.
  ToolRun Build(const std::string& output, const std::vector<std::string>& extra = {});

  std::string PathOf(const std::string& name) const;  // UTF-8, for the command line
  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> ReadFile(const std::string& name) const;
  bool Exists(const std::string& name) const;
  std::vector<std::string> FileNames() const;  // the folder's entries, sorted

  std::vector<uint8_t> stub_;
  std::vector<uint8_t> installer_;
  std::vector<uint8_t> package_;
  std::filesystem::path folder_;
};

std::vector<uint8_t> PatternBytes(size_t count, uint8_t seed);

// A path as the JSON reports write it (backslashes doubled).
std::string JsonPath(std::string path);

// The names the fixture's in-memory launchers carry.
TrailerNames SampleNames();

// A launcher file as the in-memory writer lays it out, with the image checksum set.
std::vector<uint8_t> GoodLauncher(const LauncherContents& contents);
LauncherContents SampleContents();
void SetChecksum(std::vector<uint8_t>& file);

// Stands for a signature: a DER SEQUENCE of exactly `length` bytes, header included (not 130,
// 259 or 65540, which DER cannot encode), that starts as a PKCS #7 ContentInfo of SignedData,
// then zero bytes.
std::vector<uint8_t> SyntheticSignature(size_t length);

// `file` signed as the signing tools do it: zero bytes to the next multiple of 8, then a
// certificate table of one WIN_CERTIFICATE entry (revision 0x0200, PKCS #7) holding `signature`,
// its length counting the zero bytes that align it to 8, declared in the certificate directory;
// the checksum set again.
void AppendCertificateTable(std::vector<uint8_t>& file, const std::vector<uint8_t>& signature);

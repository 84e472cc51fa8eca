// Runs the pack tool's commands in-process on files in a fresh temporary folder, and makes the
// launcher files the tests need: built by the shared in-memory writer, then broken on purpose.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/certificate_table.h"
#include "tests/support/launcher_builder.h"
#include "tests/support/sample_files.h"

struct ToolRun {
  int code;
  std::string out;
  std::string err;
};

// FILETIMEs the fixture gives its input files: the sample launcher file's.
constexpr uint64_t kInstallerFileTime = kSampleInstallerTime;
constexpr uint64_t kPackageFileTime = kSamplePackageTime;

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

// The SHA-256 digest of `bytes` in hexadecimal digits, lower case unless `upper`.
std::string Sha256Hex(const std::vector<uint8_t>& bytes, bool upper = false);

// A path as the JSON reports write it (backslashes doubled).
std::string JsonPath(std::string path);

// A launcher file as the in-memory writer lays it out, with the image checksum set.
std::vector<uint8_t> GoodLauncher(const LauncherContents& contents);

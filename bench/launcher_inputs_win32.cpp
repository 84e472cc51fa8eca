#include "bench/launcher_inputs_win32.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "bench/bench_protocol.h"
#include "bench/program_runs_win32.h"
#include "pack/format/launcher_writer.h"
#include "pack/io/pack_error.h"
#include "tests/support/sample_files.h"
#include "tests/support/sparse_file_win32.h"

static constexpr DWORD kPieceSize = 1048576;
static constexpr uint32_t kPackageSeed = 0x9E3779B9;

bool WritePackage(const std::wstring& path, uint64_t size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<uint8_t> piece(kPieceSize);
  uint32_t state = PatternState(kPackageSeed);
  bool ok = true;
  for (uint64_t remaining = size; ok && remaining != 0;) {
    DWORD count = remaining < kPieceSize ? static_cast<DWORD>(remaining) : kPieceSize;
    FillPattern(piece.data(), count, state);
    DWORD written = 0;
    ok = WriteFile(file, piece.data(), count, &written, nullptr) && written == count;
    remaining -= count;
  }
  CloseHandle(file);
  return ok;
}

// Moves the trailer of the launcher file at `path` to the last 128-byte boundary that still lets
// it end within `fileLength` bytes, and leaves the space before it unwritten.
static bool MoveTrailerToTheEnd(const std::wstring& path, LauncherLayout& layout,
                                uint64_t fileLength) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  in.close();
  if (bytes.size() != layout.fileLength) return false;
  std::vector<uint8_t> trailer(bytes.begin() + static_cast<std::ptrdiff_t>(layout.trailerOffset),
                               bytes.end());
  bytes.resize(layout.trailerOffset);
  layout.trailerOffset = (fileLength - trailer.size()) / kAnchorAlignment * kAnchorAlignment;
  layout.fileLength = layout.trailerOffset + trailer.size();
  return WriteSparseFile(path, bytes, layout.fileLength, trailer);
}

bool WriteLauncher(const std::wstring& path, const std::wstring& stubPath,
                   const std::wstring& installerPath, const std::wstring& packagePath,
                   uint64_t fileLength) {
  LauncherInputs inputs;
  inputs.stub = stubPath;
  inputs.installer = installerPath;
  inputs.package = packagePath;
  inputs.names = {kBenchTitle, kBenchFolderName, kBenchInstallerName, kBenchPackageName};
  inputs.installerTime = kSampleInstallerTime;
  inputs.packageTime = kSamplePackageTime;
  LauncherLayout layout;
  try {
    layout = WriteLauncherFile(inputs, path).layout;
  } catch (const PackError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return false;
  }
  if (fileLength != 0) {
    if (fileLength < layout.fileLength || !MoveTrailerToTheEnd(path, layout, fileLength)) {
      return false;
    }
  }
  JsonLine("layout")
      .Whole("installer_offset", static_cast<long long>(layout.installerOffset))
      .Whole("installer_size", static_cast<long long>(std::filesystem::file_size(inputs.installer)))
      .Whole("package_offset", static_cast<long long>(layout.packageOffset))
      .Whole("package_size", static_cast<long long>(std::filesystem::file_size(inputs.package)))
      .Whole("trailer_offset", static_cast<long long>(layout.trailerOffset))
      .Whole("file_length", static_cast<long long>(layout.fileLength))
      .Text("folder", Utf8(reinterpret_cast<const wchar_t*>(kBenchFolderName)))
      .Print();
  return true;
}

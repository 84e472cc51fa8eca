#include "bench/launcher_inputs_win32.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "pack/format/trailer_writer.h"

const char16_t kBenchTitle[] = u"Vossimere bench";
const char16_t kBenchFolderName[] = u"{6B1F3C52-9E0A-4D7B-8C21-5A7E0F3D9B64}";
const char16_t kBenchInstallerName[] = u"setup.exe";
const char16_t kBenchPackageName[] = u"bench.msi";

static constexpr DWORD kPieceSize = 1048576;

// One owner for each open file: closed when it goes out of scope.
class OwnedFile {
 public:
  explicit OwnedFile(HANDLE handle) : handle_(handle) {}
  ~OwnedFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  OwnedFile(const OwnedFile&) = delete;
  OwnedFile& operator=(const OwnedFile&) = delete;
  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

static HANDLE OpenForReading(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

static HANDLE CreateForWriting(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

static bool WriteAll(HANDLE file, const uint8_t* bytes, DWORD count) {
  DWORD written = 0;
  return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

static bool WriteAt(HANDLE file, uint64_t offset, const uint8_t* bytes, DWORD count) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && WriteAll(file, bytes, count);
}

static bool SizeOf(const std::wstring& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  size = uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
  return true;
}

bool WritePackage(const std::wstring& path, uint64_t size) {
  OwnedFile file(CreateForWriting(path));
  if (!file.IsOpen()) return false;
  std::vector<uint64_t> piece(kPieceSize / sizeof(uint64_t));
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (uint64_t remaining = size; remaining != 0;) {
    for (uint64_t& word : piece) {  // xorshift64
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      word = state;
    }
    DWORD count = remaining < kPieceSize ? static_cast<DWORD>(remaining) : kPieceSize;
    if (!WriteAll(file.Get(), reinterpret_cast<const uint8_t*>(piece.data()), count)) return false;
    remaining -= count;
  }
  return true;
}

// Copies the whole of `sourcePath` into `target` from its current position on, `pieceSize` bytes
// at a time.
static bool AppendFile(HANDLE target, const std::wstring& sourcePath) {
  const DWORD pieceSize = kPieceSize;
  OwnedFile source(OpenForReading(sourcePath));
  if (!source.IsOpen()) return false;
  std::vector<uint8_t> piece(pieceSize);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(source.Get(), piece.data(), pieceSize, &got, nullptr)) return false;
    if (got == 0) return true;
    if (!WriteAll(target, piece.data(), got)) return false;
  }
}

bool WriteLauncher(const std::wstring& path, const std::wstring& stubPath,
                   const std::wstring& installerPath, const std::wstring& packagePath,
                   uint64_t fileLength) {
  uint64_t stubSize = 0;
  uint64_t installerSize = 0;
  uint64_t packageSize = 0;
  if (!SizeOf(stubPath, stubSize) || !SizeOf(installerPath, installerSize) ||
      !SizeOf(packagePath, packageSize)) {
    return false;
  }
  TrailerNames names{kBenchTitle, kBenchFolderName, kBenchInstallerName, kBenchPackageName};
  uint64_t trailerSize = kAnchorRecordSize + EncodeNamesBlock(names).size();
  LauncherLayout layout = DistributedLayout(stubSize, installerSize, packageSize, trailerSize);
  if (fileLength != 0) {
    if (fileLength < layout.fileLength) return false;
    layout.trailerOffset = (fileLength - trailerSize) / kAnchorAlignment * kAnchorAlignment;
    layout.fileLength = layout.trailerOffset + trailerSize;
  }
  const uint64_t time = 0x01DA000000000000ull;  // a FILETIME in 2023
  AnchorRecord record = MakeAnchorRecord(
      static_cast<uint32_t>(stubSize), time, time, static_cast<uint32_t>(layout.installerOffset),
      static_cast<uint32_t>(installerSize), static_cast<uint32_t>(layout.packageOffset),
      static_cast<uint32_t>(packageSize));
  std::vector<uint8_t> trailer = EncodeTrailer(record, names);

  OwnedFile file(CreateForWriting(path));
  if (!file.IsOpen() || !AppendFile(file.Get(), stubPath) ||
      !AppendFile(file.Get(), installerPath)) {
    return false;
  }
  static const uint8_t zeros[16] = {};
  uint64_t padding = layout.packageOffset - (layout.installerOffset + installerSize);
  if (!WriteAll(file.Get(), zeros, static_cast<DWORD>(padding)) ||
      !AppendFile(file.Get(), packagePath)) {
    return false;
  }
  // Between the package and the trailer: zeros in the distributed layout, a hole otherwise.
  uint64_t packageEnd = layout.packageOffset + packageSize;
  if (fileLength == 0) {
    std::vector<uint8_t> gap(layout.trailerOffset - packageEnd, 0);
    if (!gap.empty() && !WriteAll(file.Get(), gap.data(), static_cast<DWORD>(gap.size()))) {
      return false;
    }
  }
  if (!WriteAt(file.Get(), layout.trailerOffset, trailer.data(),
               static_cast<DWORD>(trailer.size()))) {
    return false;
  }
  std::printf("layout stub=%llu installer_offset=%llu installer_size=%llu package_offset=%llu "
              "package_size=%llu trailer_offset=%llu file_length=%llu\n",
              static_cast<unsigned long long>(stubSize),
              static_cast<unsigned long long>(layout.installerOffset),
              static_cast<unsigned long long>(installerSize),
              static_cast<unsigned long long>(layout.packageOffset),
              static_cast<unsigned long long>(packageSize),
              static_cast<unsigned long long>(layout.trailerOffset),
              static_cast<unsigned long long>(layout.fileLength));
  return true;
}

#include "pack/format/launcher_reader.h"

#include "launch/scan_tail.h"
#include "launch/tail_window.h"
#include "pack/format/pe_checksum.h"

namespace {

constexpr size_t kHeadSize = 64 * 1024;

std::u16string Text(const WideString& s) { return std::u16string(s.Data(), s.Length()); }

}  // namespace

LauncherView ReadLauncherView(InputFile& file) {
  LauncherView view;
  view.fileLength = file.Size();
  view.head = file.ReadAt(0, static_cast<size_t>(std::min<uint64_t>(view.fileLength, kHeadSize)));
  view.image = ReadPeImage(view.head.data(), view.head.size(), &view.imageProblem);
  view.lengthInFormat = view.fileLength <= kLargestLauncherFile;
  if (!view.lengthInFormat) {
    view.scanResult = kNoMatch;  // never searched, so nothing was accepted
    return view;
  }
  PeDataDirectory table = view.CertificateTable();
  if (table.size != 0 && table.address <= view.fileLength) {
    view.certificate =
        ReadCertificateEntries(std::min<uint64_t>(table.size, view.fileLength - table.address),
                               [&file, &table](uint64_t at, uint8_t* bytes, size_t count) {
                                 file.ReadAt(table.address + at, bytes, count);
                               });
  }

  int32_t length = static_cast<int32_t>(view.fileLength);
  view.windowStart = WindowStart(length);
  view.window = file.ReadAt(static_cast<uint64_t>(view.windowStart),
                            static_cast<size_t>(length - view.windowStart));
  PayloadNames names;
  int32_t firstMatch = kNoMatch;
  view.scanResult = ScanTail(view.window.data(), static_cast<int32_t>(view.window.size()),
                             view.windowStart, names, view.record, &firstMatch);
  view.names = {Text(names.title), Text(names.folderName), Text(names.installerName),
                Text(names.packageName)};
  if (view.scanResult == kNoMatch) return view;
  view.trailerOffset = static_cast<uint64_t>(view.windowStart) + firstMatch;
  if (view.Accepted())
    view.namesEnd = view.trailerOffset + kAnchorRecordSize + EncodeNamesBlock(view.names).size();
  return view;
}

uint32_t ChecksumOfFile(InputFile& file, uint64_t checksumFieldOffset) {
  PeChecksum checksum(checksumFieldOffset);
  std::vector<uint8_t> piece(1 << 20);
  for (uint64_t at = 0; at < file.Size();) {
    size_t part = static_cast<size_t>(std::min<uint64_t>(piece.size(), file.Size() - at));
    file.ReadAt(at, piece.data(), part);
    checksum.Add(piece.data(), part);
    at += part;
  }
  return checksum.Value();
}

int64_t RoomLeft(const LauncherView& view) {
  return RoomAfterTrailer(view.trailerOffset, view.fileLength);
}

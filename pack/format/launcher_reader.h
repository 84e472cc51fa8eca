// Reading a launcher file the way the launcher does: the tail window by the window rule, the
// trailer by the launcher's own search (ScanTail), plus the image headers at the front. Used by
// inspect, verify and extract.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "launch/anchor_record.h"
#include "pack/format/certificate_table.h"
#include "pack/format/pe_image.h"
#include "pack/format/trailer_writer.h"
#include "pack/io/input_file.h"

struct LauncherView {
  uint64_t fileLength = 0;
  bool lengthInFormat = false;  // below 2 GiB; nothing else is read otherwise
  int32_t windowStart = 0;
  std::vector<uint8_t> window;  // the bytes from windowStart to the end

  int32_t scanResult = 0;      // ScanTail's answer: window offset, kNoMatch or kRecordRefused
  uint64_t trailerOffset = 0;  // file offset of the first trailer, unless kNoMatch
  TrailerNames names;          // as the launcher read them, for a refused record too
  AnchorRecord record{};       // only for an accepted record
  uint64_t namesEnd = 0;       // file offset after the last name's terminator (accepted only)

  std::vector<uint8_t> head;  // the first bytes of the file, enough for the image headers
  std::optional<PeImage> image;
  std::string imageProblem;
  // The entries of the certificate table the image declares, unless it starts past the file's end.
  std::optional<CertificateEntries> certificate;

  bool Accepted() const { return scanResult >= 0; }
  PeDataDirectory CertificateTable() const {
    return image ? image->Directory(kCertificateDirectory) : PeDataDirectory{};
  }
  uint32_t StoredChecksum() const { return image ? image->checkSum : 0; }
};

LauncherView ReadLauncherView(InputFile& file);

// The image checksum of the whole file, read from start to end in large pieces.
uint32_t ChecksumOfFile(InputFile& file, uint64_t checksumFieldOffset);

// The bytes that may still follow the end of the file before the trailer leaves the window.
int64_t RoomLeft(const LauncherView& view);

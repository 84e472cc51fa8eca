#include "tests/support/launcher_builder.h"

#include <algorithm>

void PlaceBytes(std::vector<uint8_t>& file, uint64_t offset, const std::vector<uint8_t>& bytes) {
  if (file.size() < offset + bytes.size()) file.resize(offset + bytes.size(), 0);
  std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::vector<uint8_t> BuildLauncher(const LauncherContents& contents,
                                   const std::function<void(AnchorRecord&)>& adjust) {
  std::vector<uint8_t> block = EncodeNamesBlock(contents.names);
  LauncherLayout layout =
      DistributedLayout(contents.stub.size(), contents.installer.size(), contents.package.size(),
                        kAnchorRecordSize + block.size());
  AnchorRecord record = MakeAnchorRecord(
      static_cast<uint32_t>(contents.stub.size()), contents.installerTime, contents.packageTime,
      static_cast<uint32_t>(layout.installerOffset),
      static_cast<uint32_t>(contents.installer.size()), static_cast<uint32_t>(layout.packageOffset),
      static_cast<uint32_t>(contents.package.size()));
  if (adjust) adjust(record);

  std::vector<uint8_t> file(contents.stub);
  PlaceBytes(file, layout.installerOffset, contents.installer);
  PlaceBytes(file, layout.packageOffset, contents.package);
  PlaceBytes(file, layout.trailerOffset, EncodeTrailer(record, contents.names));
  return file;
}

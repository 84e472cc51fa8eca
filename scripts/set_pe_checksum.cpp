// set-pe-checksum IMAGE: sets the image checksum of a PE file in place, with the pack tool's own
// checksum (pack/format/pe_checksum.cpp) and header reader, so the launcher's checksum and the one
// verify checks are one computation. Run after every other change to the image
// (set-pe-characteristics first), so that `vossimere-pack verify` on the bare launcher reports
// nothing but the missing trailer. Built for the build machine (shell/CMakeLists.txt), also when
// the launcher is cross-built.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "launch/anchor_record.h"
#include "pack/format/pe_checksum.h"
#include "pack/format/pe_image.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: set-pe-checksum IMAGE\n");
    return 2;
  }
  const char* name = argv[1];
  std::vector<uint8_t> bytes;
  {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "set-pe-checksum: cannot open %s\n", name);
      return 1;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string problem;
  std::optional<PeImage> image = ReadPeImage(bytes.data(), bytes.size(), &problem);
  if (!image) {
    std::fprintf(stderr, "set-pe-checksum: %s is not a PE image: %s\n", name, problem.c_str());
    return 1;
  }
  uint8_t field[4];
  StoreU32(field, ComputePeChecksum(bytes.data(), bytes.size(), image->checksumOffset));
  std::fstream out(name, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(image->checksumOffset);
  out.write(reinterpret_cast<const char*>(field), sizeof field);
  out.close();
  if (!out) {
    std::fprintf(stderr, "set-pe-checksum: cannot write %s\n", name);
    return 1;
  }
  return 0;
}

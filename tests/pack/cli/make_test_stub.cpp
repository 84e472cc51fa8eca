// Writes the tests' synthetic PE32+ image to the file named on the command line, for the
// script tests that run the real program (signing, command-line smoke tests).
#include <cstdio>

#include "launch/anchor_record.h"
#include "pack/format/pe_checksum.h"
#include "tests/support/synthetic_image.h"

// With a second OUT, also the launcher's layout with a resource section of its own, which build
// --icon and the version options can rebuild.
int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make_test_stub OUT [RESOURCE_SECTION_OUT]\n");
    return 2;
  }
  if (argc == 3) {
    SyntheticImageOptions options;
    options.resourceSection = true;
    std::vector<uint8_t> image = SyntheticImage(options);
    StoreU32(&image[kSyntheticChecksumField],
             ComputePeChecksum(image.data(), image.size(), kSyntheticChecksumField));
    std::FILE* out = std::fopen(argv[2], "wb");
    bool written = out && std::fwrite(image.data(), 1, image.size(), out) == image.size();
    if (out && std::fclose(out) != 0) written = false;
    if (!written) {
      std::fprintf(stderr, "make_test_stub: cannot write %s\n", argv[2]);
      return 1;
    }
  }
  std::vector<uint8_t> image = SyntheticImage();
  // With its image checksum set, as the launcher's post-link step sets it.
  StoreU32(&image[kSyntheticChecksumField],
           ComputePeChecksum(image.data(), image.size(), kSyntheticChecksumField));
  std::FILE* out = std::fopen(argv[1], "wb");
  bool written = out && std::fwrite(image.data(), 1, image.size(), out) == image.size();
  if (out && std::fclose(out) != 0) written = false;
  if (!written) std::fprintf(stderr, "make_test_stub: cannot write %s\n", argv[1]);
  return written ? 0 : 1;
}

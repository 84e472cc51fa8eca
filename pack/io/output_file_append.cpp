#include <vector>

#include "pack/io/input_file.h"
#include "pack/io/open_file.h"
#include "pack/io/output_file.h"
#include "pack/io/pack_error.h"

namespace {

// A piece small enough to stay in the processor's cache between its read, the checksum over it
// and its write: with 1 MiB pieces the copy of a 1 GiB file took twice as long.
constexpr size_t kAppendPiece = 128 << 10;

}  // namespace

uint64_t OutputFile::AppendInPieces(InputFile& input, uint64_t offset,
                                    const WrittenBytes& written) {
  std::vector<uint8_t> piece(kAppendPiece);
  uint64_t appended = 0;
  if (!SeekFile(input.file_, offset))
    throw PackError("cannot read " + input.Name() + " at offset " + std::to_string(offset));
  for (;;) {
    size_t got = input.ReadNext(piece.data(), piece.size());
    if (got == 0) break;
    Write(piece.data(), got);
    written(piece.data(), got);
    appended += got;
  }
  return appended;
}

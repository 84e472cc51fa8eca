#include "pack/io/input_file.h"
#include "pack/io/output_file.h"
#include "pack/io/pack_error.h"

void OutputFile::Append(InputFile& input, const WrittenBytes& written) {
  if (AppendInPieces(input, 0, written) != input.Size())
    throw PackError(input.Name() + " changed while it was read; build again when it is complete");
}

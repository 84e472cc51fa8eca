#include "pack/cli/file_arguments.h"

#include "pack/io/path_text.h"

std::string FileOperand(const CommandLine& line) {
  if (line.operands.empty()) throw UsageError("missing FILE");
  if (line.operands.size() > 1) throw UsageError("unexpected argument '" + line.operands[1] + "'");
  return line.operands[0];
}

std::filesystem::path FileArgument(const std::string& text, const std::string& what) {
  if (text == "-")
    throw UsageError(what +
                     " is '-', but the tool cannot read from the standard input or write "
                     "to the standard output: it needs a file it can seek in. Name a file (./- "
                     "for a file called '-')");
  return PathFromText(text);
}

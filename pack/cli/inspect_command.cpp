// vossimere-pack inspect: a launcher file read as the launcher reads it, and shown.
#include "pack/cli/inspect_command.h"

#include "pack/cli/file_arguments.h"
#include "pack/cli/launcher_report.h"
#include "pack/cli/pack_exit_codes.h"
#include "pack/format/launcher_reader.h"
#include "pack/text/terminal_text.h"

int RunInspect(const CommandLine& line, std::ostream& out, std::ostream& err) {
  std::string name = FileOperand(line);
  InputFile file(FileArgument(name, "FILE"), "");
  LauncherView view = ReadLauncherView(file);
  std::optional<uint32_t> checksum;
  if (view.image && view.lengthInFormat)  // a longer file is not read through
    checksum = ChecksumOfFile(file, view.image->checksumOffset);
  ShippedFacts shipped = ReadShippedFacts(file, view);
  out << (line.Has("--json") ? InspectJson(name, view, checksum, shipped)
                             : InspectText(name, view, checksum, shipped));
  if (view.lengthInFormat && view.Accepted()) return kExitOk;
  err << "vossimere-pack inspect: " << TerminalText(name)
      << (view.lengthInFormat ? " holds no trailer the launcher would accept\n"
                              : " is 2 GiB or more, outside the format: the launcher would accept "
                                "no trailer in it\n");
  return kExitCheckFailed;
}

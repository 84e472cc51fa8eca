// vossimere-pack extract: the two embedded files, written out under their stored names and times.

#include "pack/cli/extract_command.h"

#include "pack/cli/file_arguments.h"
#include "pack/cli/pack_exit_codes.h"
#include "pack/format/launcher_reader.h"
#include "pack/io/copy_zone_mark.h"
#include "pack/io/create_folders.h"
#include "pack/io/file_status.h"
#include "pack/io/output_file.h"
#include "pack/io/pack_error.h"
#include "pack/io/path_text.h"
#include "pack/rules/file_names.h"
#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"

namespace {

struct EmbeddedFile {
  const char* what;
  std::u16string name;
  uint64_t offset;
  uint64_t size;
  uint64_t time;
};

// Checks that the file can be extracted at all; a message and false otherwise.
bool Extractable(const std::string& fileName, const LauncherView& view,
                 const EmbeddedFile (&files)[2], std::ostream& err) {
  const std::string prefix = "vossimere-pack extract: " + TerminalText(fileName);
  if (!view.lengthInFormat || !view.Accepted()) {
    err << prefix << " holds no trailer the launcher would accept\n";
    return false;
  }
  for (const EmbeddedFile& file : files) {
    if (std::optional<std::string> problem = FileNameProblem(file.name)) {
      err << prefix << ": the " << file.what << " name \"" << TerminalText(Utf16ToUtf8(file.name))
          << "\" " << *problem << "; it is not extracted, so it cannot leave the folder\n";
      return false;
    }
    if (file.offset + file.size > view.fileLength) {
      err << prefix << ": the " << file.what << " runs past the end of the file\n";
      return false;
    }
  }
  if (SameFileName(files[0].name, files[1].name)) {
    err << prefix << ": both embedded files are named \""
        << TerminalText(Utf16ToUtf8(files[1].name)) << "\"\n";
    return false;
  }
  return true;
}

// The embedded file in its temporary file, with the launcher file's mark of the web (a file
// downloaded from the internet gives files that SmartScreen still judges) and its time, then
// flushed to the disk and closed, so that the flush carries both. The mark comes first: writing a
// stream of a file counts as a change of the file. The answer is a warning about the mark, or
// empty.
std::string CopyOut(InputFile& source, const EmbeddedFile& file, OutputFile& target) {
  std::vector<uint8_t> piece(1 << 20);
  for (uint64_t done = 0; done < file.size;) {
    size_t part = static_cast<size_t>(std::min<uint64_t>(piece.size(), file.size - done));
    source.ReadAt(file.offset + done, piece.data(), part);
    target.Write(piece.data(), part);
    done += part;
  }
  std::string warning = CopyZoneMark(source.Path(), target.TemporaryPath());
  target.SetTime(file.time);
  target.Close();
  return warning;
}

}  // namespace

int RunExtract(const CommandLine& line, std::ostream&, std::ostream& err) {
  const std::string fileName = FileOperand(line);
  InputFile source(FileArgument(fileName, "FILE"), "");
  LauncherView view = ReadLauncherView(source);
  const AnchorRecord& r = view.record;
  EmbeddedFile files[2] = {
      {"installer", view.names.installerName, r.installerOffset, r.installerSize, r.installerTime},
      {"package", view.names.packageName, r.packageOffset, r.packageSize, r.packageTime}};
  if (!Extractable(fileName, view, files, err)) return kExitCheckFailed;

  std::filesystem::path folder = PathFromText(line.Has("-d") ? line.Value("-d") : ".");
  CreateFolders(folder);
  std::filesystem::path targets[2];
  bool existed[2];
  for (int i = 0; i < 2; ++i) {
    targets[i] = folder / PathFromText(Utf16ToUtf8(files[i].name));
    existed[i] = StatusOf(targets[i]).kind != FileKind::kMissing;
    if (!line.Has("--force") && existed[i])
      throw PackError(TerminalText(PathText(targets[i])) +
                      " already exists; nothing was extracted (--force replaces it)");
  }
  // Without --force a file that appears under either name meanwhile is not replaced either.
  const bool replace = line.Has("--force");
  OutputFile installer(targets[0], replace);
  std::string warnings[2];
  warnings[0] = CopyOut(source, files[0], installer);
  OutputFile package(targets[1], replace);
  warnings[1] = CopyOut(source, files[1], package);
  try {
    installer.Commit();
  } catch (const PackError& error) {
    throw PackError(std::string(error.what()) + "; nothing was extracted");
  }
  try {
    package.Commit();
  } catch (const PackError& error) {
    // The installer is in place already: say so, so that nobody takes the pair for one build.
    throw PackError(std::string(error.what()) + ". Only the installer was " +
                    (existed[0] ? "replaced: " : "written: ") + PathText(targets[0]) +
                    (existed[1] ? " is new, the package beside it is the old one"
                                : " is new, and there is no package beside it"));
  }
  for (const std::string& warning : warnings)
    if (!warning.empty()) err << "vossimere-pack extract: warning: " << warning << "\n";
  err << "vossimere-pack extract: wrote " << TerminalText(PathText(targets[0])) << " and "
      << TerminalText(PathText(targets[1])) << "\n";
  return kExitOk;
}

// Writing a launcher file in the distributed layout, streamed: the embedded files are copied in
// large pieces and checksummed on the way, so a launcher of any size needs little memory. The
// result appears under its name only when it is complete and checked.
#pragma once

#include <cstdint>
#include <filesystem>

#include "pack/format/launcher_appearance.h"
#include "pack/format/pe_image.h"
#include "pack/format/trailer_writer.h"

struct LauncherInputs {
  std::filesystem::path stub;  // the launcher's own, unsigned executable
  std::filesystem::path installer;
  std::filesystem::path package;
  TrailerNames names;  // an empty folderName is derived from the payload (DefaultFolderName)
  uint64_t installerTime = 0;
  uint64_t packageTime = 0;
  // The publisher's icon and version information in place of the launcher's; none by default.
  LauncherAppearance appearance;
};

struct WrittenLauncher {
  LauncherLayout layout;
  TrailerNames names;  // as written, the folder name filled in
  uint32_t checksum = 0;
  int64_t roomLeft = 0;  // bytes that may still follow the trailer, e.g. a certificate table
};

// Checks the stub and the sizes, then writes `output` (replacing an existing file). Throws
// PackError naming the problem; `output` is then untouched.
WrittenLauncher WriteLauncherFile(const LauncherInputs& inputs,
                                  const std::filesystem::path& output);

// The stub's image, or PackError when it cannot carry a payload: not a PE32+ program, not the
// launcher (LauncherImageProblem), already signed, or already carrying a trailer. `name` names the
// stub in messages.
PeImage CheckStub(const std::vector<uint8_t>& stub, const std::string& name);

#include "pack/rules/payload_warnings.h"

#include <cstring>

#include "pack/format/pe_image.h"

namespace {

const uint8_t kCompoundFileSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// An MZ header whose e_lfanew points at "PE\0\0": what the shell needs to start a program.
bool IsPeProgram(InputFile& file) {
  if (file.Size() < kDosHeaderSize) return false;
  std::optional<uint32_t> pe =
      PeHeaderOffset(file.ReadAt(0, kDosHeaderSize).data(), kDosHeaderSize);
  return pe && uint64_t{*pe} + 4 <= file.Size() && IsPeSignature(file.ReadAt(*pe, 4).data());
}

bool IsCompoundFile(InputFile& file) {
  if (file.Size() < sizeof kCompoundFileSignature) return false;
  std::vector<uint8_t> head = file.ReadAt(0, sizeof kCompoundFileSignature);
  return std::memcmp(head.data(), kCompoundFileSignature, sizeof kCompoundFileSignature) == 0;
}

}  // namespace

std::vector<std::string> PayloadWarnings(InputFile& installer, InputFile& package) {
  std::vector<std::string> warnings;
  if (installer.Size() == 0)
    warnings.push_back(installer.Name() + " is empty");
  else if (!IsPeProgram(installer))
    warnings.push_back(installer.Name() + " is not a Windows program (no MZ and PE headers); the "
                                          "launcher starts it as one, which will fail");
  if (package.Size() == 0)
    warnings.push_back(package.Name() + " is empty");
  else if (!IsCompoundFile(package))
    warnings.push_back(package.Name() + " is not a Windows Installer package (no OLE compound "
                                        "file header D0 CF 11 E0 A1 B1 1A E1)");
  return warnings;
}

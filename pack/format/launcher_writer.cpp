#include "pack/format/launcher_writer.h"

#include <memory>

#include "launch/scan_tail.h"
#include "launch/tail_window.h"
#include "pack/format/folder_name.h"
#include "pack/format/launcher_resources.h"
#include "pack/format/pe_checksum.h"
#include "pack/io/input_file.h"
#include "pack/io/output_file.h"
#include "pack/io/pack_error.h"

namespace {

// Where the launcher's search in `bytes` (a whole file) stops: at the first trailer, accepted or
// refused; kNoMatch when there is none.
int64_t TrailerPosition(const uint8_t* bytes, size_t size) {
  int32_t w = WindowStart(static_cast<int32_t>(size));
  PayloadNames names;
  AnchorRecord record;
  int32_t first = kNoMatch;
  ScanTail(bytes + w, static_cast<int32_t>(size) - w, w, names, record, &first);
  return first == kNoMatch ? kNoMatch : w + first;
}

// Copies all of `input` to `output`, feeding the checksum and, when the folder name is to be
// derived from the contents, the digest (null otherwise) with the bytes as written.
void CopyEmbeddedFile(InputFile& input, OutputFile& output, PeChecksum& checksum,
                      ContentDigest* digest) {
  output.Append(input, [&](const uint8_t* bytes, size_t count) {
    checksum.Add(bytes, count);
    if (digest) digest->Add(bytes, count);
  });
}

// The launcher takes the first record of its window: make sure that is the trailer just written
// and not a copy of the magic values inside the installer or the package. The written file is
// closed again before it is renamed (Windows renames no open file).
void CheckTrailerComesFirst(const std::filesystem::path& written, const LauncherLayout& layout) {
  InputFile check(written, "the written file");
  int32_t w = WindowStart(static_cast<int32_t>(layout.fileLength));
  std::vector<uint8_t> window =
      check.ReadAt(static_cast<uint64_t>(w), static_cast<size_t>(layout.fileLength - w));
  PayloadNames names;
  AnchorRecord found;
  int32_t first = kNoMatch;  // a refused record too: the launcher would stop at it
  int32_t at =
      ScanTail(window.data(), static_cast<int32_t>(window.size()), w, names, found, &first);
  if (at >= 0 && static_cast<uint64_t>(w) + at == layout.trailerOffset) return;
  std::string where =
      first == kNoMatch ? std::string("nowhere") : "at byte " + std::to_string(w + first);
  throw PackError("the installer or the package carries the trailer's magic values at a "
                  "128-byte boundary inside the last 128 KiB (" +
                  where +
                  "); the launcher would "
                  "take them for its trailer, so no launcher file can be built from these inputs");
}

}  // namespace

PeImage CheckStub(const std::vector<uint8_t>& stub, const std::string& name) {
  std::string problem;
  std::optional<PeImage> image = ReadPeImage(stub.data(), stub.size(), &problem);
  if (!image) throw PackError(name + " is not a PE32+ image: " + problem);
  if (image->IsDll()) throw PackError(name + " is a DLL, not a program");
  if (image->rawDataEnd > stub.size())
    throw PackError(name + " is cut short: its sections end at byte " +
                    std::to_string(image->rawDataEnd) + " but the file has " +
                    std::to_string(stub.size()));
  if (std::optional<std::string> problem = LauncherImageProblem(*image, stub.data(), stub.size()))
    throw PackError(name + " is not the Vossimere launcher: " + *problem +
                    ". Give the launcher's own Vossimere.exe as --stub (was the installer given "
                    "in its place?)");
  if (image->dataDirectories.size() <= static_cast<size_t>(kCertificateDirectory))
    throw PackError(name + " has no certificate directory entry, so no launcher built from it "
                           "could be signed");
  if (image->IsSigned())
    throw PackError(name + " is already signed: a payload appended after its certificate table "
                           "would break the signature. Build from the unsigned launcher and sign "
                           "the built file afterwards");
  if (stub.size() <= kLargestLauncherFile) {
    int64_t trailer = TrailerPosition(stub.data(), stub.size());
    if (trailer != kNoMatch)
      throw PackError(name + " already carries a launcher trailer (at byte " +
                      std::to_string(trailer) +
                      "): build from the plain launcher, not from a built launcher file");
  }
  return *image;
}

WrittenLauncher WriteLauncherFile(const LauncherInputs& inputs,
                                  const std::filesystem::path& output) {
  InputFile stubFile(inputs.stub, "the stub");
  InputFile installer(inputs.installer, "the installer");
  InputFile package(inputs.package, "the package");
  if (stubFile.Size() > kLargestLauncherFile)
    throw PackError(stubFile.Name() + " is too large to be the launcher");
  std::vector<uint8_t> stub = stubFile.ReadAt(0, static_cast<size_t>(stubFile.Size()));
  PeImage image = CheckStub(stub, stubFile.Name());
  if (inputs.appearance.Changes()) {
    stub = ApplyAppearance(stub, inputs.appearance);
    image = CheckStub(stub, stubFile.Name() + " with the new icon and version information");
    if (std::optional<std::string> problem =
            LauncherResourceProblem(image, stub.data(), stub.size()))
      throw PackError("the rebuilt resources are not right (" + *problem +
                      "); please report this as a fault of the tool");
  }

  WrittenLauncher written;
  written.names = inputs.names;
  TrailerNames sized = inputs.names;
  if (sized.folderName.empty()) sized.folderName.assign(kFolderGuidLength, u'0');
  uint64_t trailerSize = kAnchorRecordSize + EncodeNamesBlock(sized).size();
  if (trailerSize > static_cast<uint64_t>(kTailWindowSize))
    throw PackError("the trailer would take " + std::to_string(trailerSize) +
                    " bytes, more than the 131072-byte window the launcher searches: shorten "
                    "the title or the names");
  written.layout = DistributedLayout(stub.size(), installer.Size(), package.Size(), trailerSize);
  if (written.layout.fileLength > kLargestLauncherFile)
    throw PackError("the launcher file would be " + std::to_string(written.layout.fileLength) +
                    " bytes; it must stay below 2 GiB (2147483648 bytes), since the launcher "
                    "reads its own length as a signed 32-bit value");

  OutputFile out(output);
  PeChecksum checksum(image.checksumOffset);
  ContentDigest installerDigest, packageDigest;
  checksum.Add(stub.data(), stub.size());
  out.Write(stub.data(), stub.size());
  bool deriveFolder = written.names.folderName.empty();
  CopyEmbeddedFile(installer, out, checksum, deriveFolder ? &installerDigest : nullptr);
  uint64_t gap = written.layout.packageOffset - (written.layout.installerOffset + installer.Size());
  checksum.AddZeros(gap);
  out.WriteZeros(gap);
  CopyEmbeddedFile(package, out, checksum, deriveFolder ? &packageDigest : nullptr);
  gap = written.layout.trailerOffset - (written.layout.packageOffset + package.Size());
  checksum.AddZeros(gap);
  out.WriteZeros(gap);

  if (deriveFolder) {
    PayloadIdentity identity{
        written.names.title,  written.names.installerName, written.names.packageName,
        inputs.installerTime, inputs.packageTime,          installer.Size(),
        package.Size(),       installerDigest.Value(),     packageDigest.Value()};
    written.names.folderName = DefaultFolderName(identity);
  }
  AnchorRecord record = MakeAnchorRecord(
      static_cast<uint32_t>(stub.size()), inputs.installerTime, inputs.packageTime,
      static_cast<uint32_t>(written.layout.installerOffset),
      static_cast<uint32_t>(installer.Size()), static_cast<uint32_t>(written.layout.packageOffset),
      static_cast<uint32_t>(package.Size()));
  std::vector<uint8_t> trailer = EncodeTrailer(record, written.names);
  checksum.Add(trailer.data(), trailer.size());
  out.Write(trailer.data(), trailer.size());

  written.checksum = checksum.Value();
  uint8_t field[4];
  StoreU32(field, written.checksum);
  out.WriteAt(image.checksumOffset, field, sizeof field);
  out.Close();
  CheckTrailerComesFirst(out.TemporaryPath(), written.layout);
  out.Commit();
  written.roomLeft = RoomAfterTrailer(written.layout.trailerOffset, written.layout.fileLength);
  return written;
}

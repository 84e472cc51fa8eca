#include "pack/rules/layout_rules.h"

#include <algorithm>
#include <cstdio>

#include "launch/scan_tail.h"
#include "pack/format/launcher_appearance.h"
#include "pack/format/launcher_resources.h"
#include "pack/rules/certificate_rules.h"
#include "pack/rules/file_names.h"
#include "pack/text/hex_number.h"
#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"

namespace {

using Findings = std::vector<std::string>;

// The first byte in [from, to) that is not zero, or `to`.
uint64_t FirstNonZero(InputFile& file, uint64_t from, uint64_t to) {
  if (to <= from) return to;
  std::vector<uint8_t> bytes = file.ReadAt(from, static_cast<size_t>(to - from));
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] != 0) return from + i;
  return to;
}

void CheckZeroGap(InputFile& file, uint64_t from, uint64_t to, const std::string& between,
                  Findings& out) {
  uint64_t at = FirstNonZero(file, from, to);
  if (at != to) out.push_back("gap: byte " + std::to_string(at) + " " + between + " is not zero");
}

// The search as the launcher runs it.
bool CheckSearch(const LauncherView& view, Findings& out) {
  if (view.scanResult == kNoMatch) {
    out.push_back("anchor: no 128-byte boundary in the last 128 KiB carries both magic values; "
                  "the launcher finds no trailer");
    return false;
  }
  if (view.scanResult == kRecordRefused) {
    if (view.trailerOffset == 0)
      out.push_back("anchor: the trailer sits at offset 0, which the launcher never takes");
    const char* slots[] = {"title", "folderName", "installerName", "packageName"};
    const std::u16string* names[] = {&view.names.title, &view.names.folderName,
                                     &view.names.installerName, &view.names.packageName};
    for (int i = 0; i < 4; ++i)
      if (names[i]->empty())
        out.push_back(std::string("names: ") + slots[i] + " of the trailer at byte " +
                      std::to_string(view.trailerOffset) +
                      " is empty or not ended inside the window; the launcher refuses the trailer");
    return false;
  }
  return true;
}

// The title is the caption of the launcher's messages: no control characters. The launcher uses
// the three names unchanged as path components: one that is no plain Windows file name (a
// separator, "..", a device name...) would put the files outside their folder, or remove the
// temporary folder itself after the install.
void CheckNames(const LauncherView& view, Findings& out) {
  if (std::optional<std::string> problem = TitleProblem(view.names.title))
    out.push_back("title: the title " + *problem +
                  ", which has no place in the caption of the launcher's messages");
  const char* slots[] = {"folderName", "installerName", "packageName"};
  const std::u16string* names[] = {&view.names.folderName, &view.names.installerName,
                                   &view.names.packageName};
  for (int i = 0; i < 3; ++i) {
    if (std::optional<std::string> problem = FileNameProblem(*names[i]))
      out.push_back(std::string("names: ") + slots[i] + " \"" +
                    TerminalText(Utf16ToUtf8(*names[i])) + "\" " + *problem +
                    "; the launcher would use it unchanged as a path component");
  }
  if (SameFileName(view.names.installerName, view.names.packageName))
    out.push_back("names: installerName and packageName are the same file name; the package "
                  "would overwrite the installer");
}

// A trailer whose own record places it where it stands: the one the layout meant.
uint64_t IntendedTrailer(const LauncherView& view) {
  for (size_t off = 0; off + kAnchorRecordSize <= view.window.size(); off += kAnchorAlignment) {
    const uint8_t* at = view.window.data() + off;
    if (!HasAnchorMagics(at)) continue;
    AnchorRecord record = DecodeAnchorRecord(at);
    uint64_t position = static_cast<uint64_t>(view.windowStart) + off;
    if (NextMultiple(uint64_t{record.packageOffset} + record.packageSize, kAnchorAlignment) ==
        position)
      return position;
  }
  return view.trailerOffset;
}

void CheckPlacement(const LauncherView& view, InputFile& file, Findings& out, Findings& ran) {
  ran.insert(ran.end(), {"false-anchor", "installer-range", "package-range", "stub-length",
                         "package-offset", "trailer-offset"});
  const AnchorRecord& r = view.record;
  uint64_t installerEnd = uint64_t{r.installerOffset} + r.installerSize;
  uint64_t packageEnd = uint64_t{r.packageOffset} + r.packageSize;
  uint64_t intended = IntendedTrailer(view);
  if (intended != view.trailerOffset)
    out.push_back("false-anchor: the magic values at byte " + std::to_string(view.trailerOffset) +
                  " come before the trailer at byte " + std::to_string(intended) +
                  "; the launcher takes the first");
  if (installerEnd > view.fileLength)
    out.push_back("installer-range: the installer (" + std::to_string(r.installerOffset) + " + " +
                  std::to_string(r.installerSize) + ") runs past the end of the file (" +
                  std::to_string(view.fileLength) + ")");
  if (packageEnd > view.fileLength)
    out.push_back("package-range: the package (" + std::to_string(r.packageOffset) + " + " +
                  std::to_string(r.packageSize) + ") runs past the end of the file (" +
                  std::to_string(view.fileLength) + ")");
  if (r.stubLength != r.installerOffset)
    out.push_back("stub-length: stubLength " + std::to_string(r.stubLength) +
                  " is not the installer's offset " + std::to_string(r.installerOffset));
  if (view.image) ran.push_back("installer-offset");
  if (view.image && r.installerOffset < view.image->rawDataEnd)
    out.push_back("installer-offset: the installer at byte " + std::to_string(r.installerOffset) +
                  " starts inside the image, which ends at byte " +
                  std::to_string(view.image->rawDataEnd));
  uint64_t packageAt = NextMultiple(installerEnd, 16);
  if (r.packageOffset != packageAt)
    out.push_back("package-offset: the package is at byte " + std::to_string(r.packageOffset) +
                  ", not at " + std::to_string(packageAt) +
                  ", the first multiple of 16 after the installer");
  uint64_t trailerAt = NextMultiple(packageEnd, kAnchorAlignment);
  if (view.trailerOffset != trailerAt)
    out.push_back("trailer-offset: the trailer is at byte " + std::to_string(view.trailerOffset) +
                  ", not at " + std::to_string(trailerAt) +
                  ", the first multiple of 128 after the package");
  // A gap is only what the layout puts between two regions that are where it puts them.
  if ((r.packageOffset == packageAt && packageEnd <= view.fileLength) ||
      view.trailerOffset == trailerAt)
    ran.push_back("gap");
  if (r.packageOffset == packageAt && packageEnd <= view.fileLength)
    CheckZeroGap(file, installerEnd, r.packageOffset, "between the installer and the package", out);
  if (view.trailerOffset == trailerAt)
    CheckZeroGap(file, packageEnd, view.trailerOffset, "between the package and the trailer", out);
}

// After the names: in an unsigned file, nothing but zero bytes up to the next multiple of 8; in a
// signed one, the certificate table at that multiple of 8, closing the file.
void CheckEnd(const LauncherView& view, InputFile& file, Findings& out, Findings& ran) {
  PeDataDirectory table = view.CertificateTable();
  ran.insert(ran.end(), {"after-names", "certificate"});  // each holds where the other applies
  if (table.address == 0 && table.size == 0) {
    // Zero bytes up to the next multiple of 8 are what removing a signature leaves.
    bool padding = view.fileLength <= NextMultiple(view.namesEnd, 8) &&
                   FirstNonZero(file, view.namesEnd, view.fileLength) == view.fileLength;
    if (view.fileLength != view.namesEnd && !padding)
      out.push_back("after-names: " + std::to_string(view.fileLength - view.namesEnd) +
                    " bytes follow the names block, and no certificate table is declared");
    return;
  }
  uint64_t expected = NextMultiple(view.namesEnd, 8);
  if (table.address > view.fileLength) {
    out.push_back("certificate: the certificate table at byte " + std::to_string(table.address) +
                  " lies beyond the end of the file (" + std::to_string(view.fileLength) + ")");
    return;
  }
  if (table.address != expected) {
    out.push_back("certificate: the certificate table is at byte " + std::to_string(table.address) +
                  ", not at " + std::to_string(expected) +
                  ", the first multiple of 8 after the names");
  } else {
    CheckZeroGap(file, view.namesEnd, table.address, "between the names and the certificate table",
                 out);
  }
  // Its end and its contents are the certificate-table rules'.
}

// The image at the front must be the launcher itself: another program (the installer given as
// the stub) would never look for the payload at all.
void CheckLauncherImage(const LauncherView& view, InputFile& file, Findings& out) {
  constexpr uint64_t kLargestImageRead = 64ull << 20;
  uint64_t length = std::min({view.image->rawDataEnd, view.fileLength, kLargestImageRead});
  std::vector<uint8_t> image = file.ReadAt(0, static_cast<size_t>(length));
  if (std::optional<std::string> problem =
          LauncherImageProblem(*view.image, image.data(), image.size()))
    out.push_back("launcher: the image is not the Vossimere launcher: " + *problem);
  // The icon and the version information may be the publisher's; the rest is the launcher's.
  if (std::optional<std::string> problem =
          LauncherResourceProblem(*view.image, image.data(), image.size()))
    out.push_back("resources: " + *problem);
}

}  // namespace

std::vector<std::string> BrokenRules(const LauncherView& view, InputFile& file) {
  Findings ran;
  return BrokenRules(view, file, ran);
}

std::vector<std::string> BrokenRules(const LauncherView& view, InputFile& file, Findings& ran) {
  Findings out;
  ran = {"length"};
  if (!view.lengthInFormat) {
    out.push_back("length: the file is " + std::to_string(view.fileLength) +
                  " bytes; the launcher reads its length as a signed 32-bit value, so it must "
                  "stay below 2 GiB");
    return out;
  }
  ran.push_back("image");
  if (!view.image) {
    out.push_back("image: the file does not start with a PE32+ image: " + view.imageProblem);
  } else {
    CheckLauncherImage(view, file, out);
    ran.insert(ran.end(), {"launcher", "resources"});
  }
  ran.push_back("anchor");
  if (CheckSearch(view, out)) {
    CheckNames(view, out);
    ran.insert(ran.end(), {"names", "title"});
    CheckPlacement(view, file, out, ran);
    CheckEnd(view, file, out, ran);
  }
  // The certificate-table rules look into a table only a signed file has.
  if (view.certificate) {
    for (const std::string& rule : RuleNames())
      if (rule.compare(0, 17, "certificate-table") == 0) ran.push_back(rule);
  }
  CheckCertificateTable(view, file, out);
  if (view.image) {
    ran.push_back("checksum");
    uint32_t computed = ChecksumOfFile(file, view.image->checksumOffset);
    if (computed != view.StoredChecksum())
      out.push_back("checksum: the image checksum is " + HexNumber(view.StoredChecksum()) +
                    ", but the file's checksum is " + HexNumber(computed));
  }
  return out;
}

const std::vector<std::string>& RuleNames() {
  // The rules in rows, as a table reads; the formatter would give each its own line.
  // clang-format off
  static const std::vector<std::string> names{
      "length",         "image",          "launcher",       "resources",      "anchor",
      "names",          "title",          "false-anchor",   "installer-range",
      "package-range",  "stub-length",    "installer-offset", "package-offset",
      "trailer-offset", "gap",            "after-names",    "certificate",
      "certificate-table-entries", "certificate-table-type", "certificate-table-length",
      "certificate-table-signature", "certificate-table-padding", "certificate-table-end",
      "certificate-table-forged-trailer", "checksum"};
  // clang-format on
  return names;
}

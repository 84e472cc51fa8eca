#include "pack/cli/launcher_report.h"

#include <cstdio>
#include <sstream>

#include "launch/scan_tail.h"
#include "pack/rules/certificate_rules.h"
#include "pack/text/hex_number.h"
#include "pack/text/iso_time.h"
#include "pack/text/json_text.h"
#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"

namespace {

std::string TimeText(uint64_t filetime) {
  std::string iso = FormatIsoTime(filetime);
  return (iso.empty() ? std::string("beyond the year 9999") : iso) + " (FILETIME " +
         std::to_string(filetime) + ")";
}

std::string JsonTime(uint64_t filetime) {
  std::string iso = FormatIsoTime(filetime);
  return iso.empty() ? "null" : JsonString(iso);
}

// A title or name from the file, or a file name, shown so that it cannot forge lines or reorder
// the text around it.
std::string Shown(const std::u16string& text) { return TerminalText(Utf16ToUtf8(text)); }

void Line(std::ostringstream& out, const char* key, const std::string& value) {
  out << key << ':' << std::string(18 - std::char_traits<char>::length(key), ' ') << value << '\n';
}

}  // namespace

std::string InspectText(const std::string& fileName, const LauncherView& view,
                        std::optional<uint32_t> computedChecksum, const ShippedFacts& shipped) {
  std::ostringstream out;
  Line(out, "file", TerminalText(fileName));
  Line(out, "length", std::to_string(view.fileLength) + " bytes");
  if (!view.lengthInFormat) {
    Line(out, "trailer", "not searched: the file is 2 GiB or more");
  } else {
    Line(out, "window",
         "bytes " + std::to_string(view.windowStart) + " to " + std::to_string(view.fileLength) +
             " (" + std::to_string(view.window.size()) + " bytes)");
    if (view.scanResult == kNoMatch) {
      Line(out, "trailer", "none found");
    } else {
      std::string where = "at byte " + std::to_string(view.trailerOffset) + " (window offset " +
                          std::to_string(view.trailerOffset - view.windowStart) + ")";
      Line(out, "trailer", view.Accepted() ? where : where + ", refused by the launcher");
      Line(out, "title", Shown(view.names.title));
      Line(out, "folderName", Shown(view.names.folderName));
      Line(out, "installerName", Shown(view.names.installerName));
      Line(out, "packageName", Shown(view.names.packageName));
    }
    if (view.Accepted()) {
      const AnchorRecord& r = view.record;
      Line(out, "magicHead", HexNumber(r.magicHead));
      Line(out, "stubLength", std::to_string(r.stubLength));
      Line(out, "installerTime", TimeText(r.installerTime));
      Line(out, "packageTime", TimeText(r.packageTime));
      Line(out, "installerOffset", std::to_string(r.installerOffset));
      Line(out, "installerSize", std::to_string(r.installerSize));
      Line(out, "packageOffset", std::to_string(r.packageOffset));
      Line(out, "packageSize", std::to_string(r.packageSize));
      Line(out, "magicTail", HexNumber(r.magicTail));
      Line(out, "names end", "byte " + std::to_string(view.namesEnd));
    }
  }
  if (view.image) {
    Line(out, "checksum",
         "stored " + HexNumber(view.StoredChecksum()) +
             (computedChecksum ? ", computed " + HexNumber(*computedChecksum)
                               : std::string(", not computed")));
    PeDataDirectory table = view.CertificateTable();
    Line(out, "certificate table",
         table.size ? "at byte " + std::to_string(table.address) + ", " +
                          std::to_string(table.size) + " bytes"
                    : std::string("none"));
    std::optional<uint64_t> uncovered = BytesOutsideSignature(view);
    if (table.size && view.lengthInFormat)
      Line(out, "uncovered",
           uncovered
               ? std::to_string(*uncovered) + " bytes after the signature, which it does not cover"
               : std::string("not known: the certificate table holds no "
                             "PKCS #7 signature that could be read"));
  } else {
    Line(out, "image", "no PE32+ image: " + view.imageProblem);
  }
  if (view.lengthInFormat && view.Accepted())
    Line(out, "room left",
         std::to_string(RoomLeft(view)) +
             " bytes of the 128 KiB window after the names and the certificate table");
  out << ShippedFactsText(shipped);
  return out.str();
}

std::string InspectJson(const std::string& fileName, const LauncherView& view,
                        std::optional<uint32_t> computedChecksum, const ShippedFacts& shipped) {
  std::ostringstream out;
  out << "{\"file\":" << JsonString(fileName) << ",\"length\":" << view.fileLength;
  out << ",\"windowStart\":";
  if (view.lengthInFormat)
    out << view.windowStart << ",\"windowLength\":" << view.window.size();
  else
    out << "null,\"windowLength\":null";
  out << ",\"trailer\":";
  if (view.lengthInFormat && view.scanResult != kNoMatch) {
    out << "{\"offset\":" << view.trailerOffset
        << ",\"windowOffset\":" << view.trailerOffset - view.windowStart
        << ",\"accepted\":" << (view.Accepted() ? "true" : "false") << "}";
    out << ",\"names\":{\"title\":" << JsonString(Utf16ToUtf8(view.names.title))
        << ",\"folderName\":" << JsonString(Utf16ToUtf8(view.names.folderName))
        << ",\"installerName\":" << JsonString(Utf16ToUtf8(view.names.installerName))
        << ",\"packageName\":" << JsonString(Utf16ToUtf8(view.names.packageName)) << "}";
  } else {
    out << "null,\"names\":null";
  }
  out << ",\"record\":";
  if (view.lengthInFormat && view.Accepted()) {
    const AnchorRecord& r = view.record;
    out << "{\"magicHead\":" << r.magicHead << ",\"stubLength\":" << r.stubLength
        << ",\"installerTime\":" << JsonTime(r.installerTime)
        << ",\"installerFiletime\":" << JsonFiletime(r.installerTime)
        << ",\"packageTime\":" << JsonTime(r.packageTime)
        << ",\"packageFiletime\":" << JsonFiletime(r.packageTime)
        << ",\"installerOffset\":" << r.installerOffset << ",\"installerSize\":" << r.installerSize
        << ",\"packageOffset\":" << r.packageOffset << ",\"packageSize\":" << r.packageSize
        << ",\"magicTail\":" << r.magicTail << "}";
    out << ",\"namesEnd\":" << view.namesEnd;
  } else {
    out << "null,\"namesEnd\":null";
  }
  out << ",\"checksum\":";
  if (computedChecksum)
    out << "{\"stored\":" << view.StoredChecksum() << ",\"computed\":" << *computedChecksum << "}";
  else
    out << "null";
  PeDataDirectory table = view.CertificateTable();
  out << ",\"certificateTable\":";
  if (table.size) {
    out << "{\"offset\":" << table.address << ",\"size\":" << table.size << ",\"pastEnd\":"
        << (uint64_t{table.address} + table.size > view.fileLength ? "true" : "false")
        << ",\"uncoveredBytes\":";
    std::optional<uint64_t> uncovered = BytesOutsideSignature(view);
    if (uncovered)
      out << *uncovered;
    else
      out << "null";
    out << "}";
  } else {
    out << "null";
  }
  out << ",\"roomLeft\":" << JsonRoomLeft(view) << ShippedFactsJson(shipped) << "}\n";
  return out.str();
}

std::string JsonRoomLeft(const LauncherView& view) {
  return view.lengthInFormat && view.Accepted() ? std::to_string(RoomLeft(view)) : "null";
}

#include "pack/rules/certificate_rules.h"

#include <cstdio>

#include "pack/format/trailer_writer.h"

namespace {

std::string Hex16(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

// The entries: one, a PKCS #7 signature, its length exact (or rounded up to the alignment, as the
// signing tools write it), at most 7 zero bytes after it.
void CheckEntries(uint64_t address, const CertificateEntries& table,
                  std::vector<std::string>& out) {
  const std::string entry = "the WIN_CERTIFICATE entry at byte " + std::to_string(address);
  if (!table.first) {
    out.push_back("certificate-table-entries: the certificate table's " +
                  std::to_string(table.tableSize) + " bytes hold no whole WIN_CERTIFICATE entry");
    return;
  }
  const WinCertificateHeader& first = *table.first;
  if (first.revision != kWinCertRevision2 || first.type != kWinCertTypePkcsSignedData)
    out.push_back("certificate-table-type: " + entry + " has revision " + Hex16(first.revision) +
                  " and type " + Hex16(first.type) +
                  ", not revision 0x0200 and type 0x0002 (PKCS #7)");
  if (!table.firstFits) {
    out.push_back("certificate-table-length: " + entry + " gives its length as " +
                  std::to_string(first.length) + ", which does not fit the certificate table's " +
                  std::to_string(table.tableSize) + " bytes");
    return;
  }
  if (table.secondEntryAt)
    out.push_back("certificate-table-entries: the certificate table holds a second "
                  "WIN_CERTIFICATE entry at byte " +
                  std::to_string(address + *table.secondEntryAt) +
                  "; a signed launcher file has exactly one");
  if (!table.signatureLength) {
    out.push_back("certificate-table-signature: " + entry +
                  " holds no DER-encoded PKCS #7 "
                  "SignedData that fits its " +
                  std::to_string(first.length) + " bytes");
    return;
  }
  const uint64_t exact = kWinCertificateHeaderSize + *table.signatureLength;
  const uint64_t aligned = NextMultiple(exact, 8);
  if (first.length != exact && first.length != aligned)
    out.push_back(
        "certificate-table-length: " + entry + " is " + std::to_string(first.length) +
        " bytes long, not 8 + the " + std::to_string(*table.signatureLength) +
        " bytes of its signature (" + std::to_string(exact) +
        (aligned != exact ? ", or " + std::to_string(aligned) + " with the alignment)" : ")"));
  if (table.afterSignature > 7)
    out.push_back("certificate-table-padding: " + std::to_string(table.afterSignature) +
                  " bytes follow the signature inside the certificate table, which the signature "
                  "does not cover; only up to 7 zero bytes of alignment belong there");
  else if (!table.afterSignatureZero)
    out.push_back("certificate-table-padding: the " + std::to_string(table.afterSignature) +
                  " bytes of alignment after the signature are not all zero");
}

}  // namespace

void CheckCertificateTable(const LauncherView& view, InputFile& file,
                           std::vector<std::string>& out) {
  if (!view.certificate) return;
  const PeDataDirectory table = view.CertificateTable();
  const CertificateEntries& entries = *view.certificate;
  CheckEntries(table.address, entries, out);

  const uint64_t declaredEnd = uint64_t{table.address} + table.size;
  if (declaredEnd > view.fileLength)
    out.push_back("certificate-table-end: the certificate table (" + std::to_string(table.address) +
                  " + " + std::to_string(table.size) + ") runs past the end of the file (" +
                  std::to_string(view.fileLength) + ")");
  else if (declaredEnd < view.fileLength)
    out.push_back("certificate-table-end: " + std::to_string(view.fileLength - declaredEnd) +
                  " bytes follow the certificate table, which must close the file");

  TrailerMagicsInTable magics = FindTrailerMagics(
      table.address, entries.tableSize, [&file, &table](uint64_t at, uint8_t* bytes, size_t count) {
        file.ReadAt(table.address + at, bytes, count);
      });
  if (magics.count != 0)
    out.push_back("certificate-table-forged-trailer: the trailer's magic values stand at byte " +
                  std::to_string(table.address + magics.firstAt) +
                  (magics.count > 1
                       ? " (and at " + std::to_string(magics.count - 1) + " more 128-byte steps)"
                       : std::string()) +
                  ", a 128-byte step inside the certificate table, which the signature does not "
                  "cover: a forged trailer");
}

std::optional<uint64_t> BytesOutsideSignature(const LauncherView& view) {
  if (!view.certificate || !view.certificate->signatureLength) return std::nullopt;
  return view.fileLength - (view.CertificateTable().address + kWinCertificateHeaderSize +
                            *view.certificate->signatureLength);
}

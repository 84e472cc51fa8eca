#include "pack/cli/signature_report.h"

#include <sstream>

#include "pack/text/json_text.h"
#include "pack/text/terminal_text.h"
#include "pack/text/utf.h"

namespace {

const char* TimeStampJson(TimeStampKind kind) {
  switch (kind) {
    case TimeStampKind::kCounterSignature:
      return "\"counter-signature\"";
    case TimeStampKind::kRfc3161:
      return "\"rfc3161\"";
    case TimeStampKind::kNone:
      break;
  }
  return "null";
}

const char* TimeStampText(TimeStampKind kind) {
  switch (kind) {
    case TimeStampKind::kCounterSignature:
      return "time-stamped (counter-signature)";
    case TimeStampKind::kRfc3161:
      return "time-stamped (RFC 3161)";
    case TimeStampKind::kNone:
      break;
  }
  return "no time stamp";
}

const char* EmbeddedName(EmbeddedSignature state) {
  switch (state) {
    case EmbeddedSignature::kSigned:
      return "signed";
    case EmbeddedSignature::kNotSigned:
      return "not-signed";
    case EmbeddedSignature::kUnreadable:
      break;
  }
  return "unreadable";
}

std::string EmbeddedText(const char* what, const std::u16string& name,
                         const std::optional<EmbeddedSignature>& state, const char* unreadable) {
  std::string line = std::string("  ") + what + " " + TerminalText(Utf16ToUtf8(name)) + ": ";
  switch (*state) {
    case EmbeddedSignature::kSigned:
      return line + "signed\n";
    case EmbeddedSignature::kNotSigned:
      return line + "not signed\n";
    case EmbeddedSignature::kUnreadable:
      break;
  }
  return line + "not known (" + unreadable + ")\n";
}

}  // namespace

std::string SignatureText(const LauncherView& view, const SignatureReport& report) {
  std::ostringstream out;
  for (size_t i = 0; i < report.signatures.size(); ++i) {
    const SignatureCheck& check = report.signatures[i];
    out << "  signature " << i + 1 << (check.signature.nested ? " (nested)" : "") << ": "
        << check.signature.digestAlgorithm << ", "
        << (!check.fileDigest ? "image digest not computed"
            : check.Matches() ? "image digest matches"
                              : "image digest DIFFERS")
        << "; signer "
        << (check.signature.signer.empty() ? "not named"
                                           : "\"" + TerminalText(check.signature.signer) + "\"")
        << "; " << TimeStampText(check.signature.timeStamp) << "\n";
  }
  if (!report.problem.empty())
    out << "  signature: " << TerminalText(report.problem) << "; what it covers is not known\n";
  if (report.afterSignature && *report.afterSignature == 0)
    out << "  certificate table: nothing after the signature\n";
  else if (report.afterSignature && report.onlyAlignment)
    out << "  certificate table: nothing after the signature but " << *report.afterSignature
        << " zero bytes of alignment\n";
  else if (report.afterSignature)
    out << "  certificate table: " << *report.afterSignature
        << " bytes after the signature, which it does not cover\n";
  if (report.installer)
    out << EmbeddedText("installer", view.names.installerName, report.installer,
                        "no Windows program's headers to read");
  if (report.package)
    out << EmbeddedText("package", view.names.packageName, report.package,
                        "not a compound file whose directory can be read");
  return out.str();
}

std::string SignatureJson(const SignatureReport& report) {
  std::ostringstream out;
  out << "{\"signed\":" << (report.hasSignature ? "true" : "false")
      << ",\"problem\":" << (report.problem.empty() ? "null" : JsonString(report.problem))
      << ",\"signatures\":[";
  const char* comma = "";
  for (const SignatureCheck& check : report.signatures) {
    out << comma << "{\"nested\":" << (check.signature.nested ? "true" : "false")
        << ",\"digestAlgorithm\":" << JsonString(check.signature.digestAlgorithm)
        << ",\"signedDigest\":\"" << HexDigest(check.signature.digest) << "\",\"fileDigest\":"
        << (check.fileDigest ? "\"" + HexDigest(*check.fileDigest) + "\"" : "null")
        << ",\"digestMatches\":"
        << (!check.fileDigest ? "null"
            : check.Matches() ? "true"
                              : "false")
        << ",\"signer\":"
        << (check.signature.signer.empty() ? "null" : JsonString(check.signature.signer))
        << ",\"timeStamp\":" << TimeStampJson(check.signature.timeStamp) << "}";
    comma = ",";
  }
  out << "],\"bytesAfterSignature\":";
  if (report.afterSignature)
    out << *report.afterSignature;
  else
    out << "null";
  out << ",\"onlyAlignment\":" << (report.onlyAlignment ? "true" : "false") << ",\"installer\":";
  if (report.installer)
    out << "\"" << EmbeddedName(*report.installer) << "\"";
  else
    out << "null";
  out << ",\"package\":";
  if (report.package)
    out << "\"" << EmbeddedName(*report.package) << "\"";
  else
    out << "null";
  out << "}";
  return out.str();
}

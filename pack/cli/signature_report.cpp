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

const char* TimeStampKindText(TimeStampKind kind) {
  return kind == TimeStampKind::kRfc3161 ? "time stamp (RFC 3161)"
                                         : "time stamp (counter-signature)";
}

const char* VerdictJson(Verdict verdict) {
  switch (verdict) {
    case Verdict::kVerified:
      return "\"verified\"";
    case Verdict::kNotVerified:
      return "\"present-not-verified\"";
    case Verdict::kFails:
      break;
  }
  return "\"does-not-verify\"";
}

// A quoted text from the file: shown safely, an inner quote or backslash escaped.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : TerminalText(text)) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// "verified; not checked against a trusted root", "does not verify (why)", ...
std::string VerdictText(const CryptoCheck& check, bool chainChecked) {
  switch (check.verdict) {
    case Verdict::kVerified:
      return chainChecked ? "verified, its chain to a trusted root of the CA file verified"
                          : "verified; not checked against a trusted root";
    case Verdict::kNotVerified:
      return "present, not verified (" + TerminalText(check.reason) + ")";
    case Verdict::kFails:
      break;
  }
  return "does not verify (" + TerminalText(check.reason) + ")";
}

std::string SignatureLine(const std::string& which, const SignatureCheck& check) {
  const AuthenticodeSignature& signature = check.signature;
  const std::string digest = check.ofPackage ? "package digest" : "image digest";
  std::string line = "  " + which + ": " + TerminalText(signature.digestAlgorithm) + ", " + digest +
                     (!check.fileDigest ? " not computed"
                      : check.Matches() ? " matches"
                                        : " DIFFERS") +
                     "; " + VerdictText(check.Result(), check.chainProblem.has_value()) +
                     "; signer " +
                     (signature.signer.empty() ? "not named" : Quoted(signature.signer));
  if (signature.timeStamp.kind == TimeStampKind::kNone) return line + "; no time stamp\n";
  line += std::string("; ") + TimeStampKindText(signature.timeStamp.kind) + " ";
  if (!signature.timeStamp.signer.empty()) line += "by " + Quoted(signature.timeStamp.signer) + " ";
  return line + VerdictText(check.TimeStampResult(), check.timeStampChainProblem.has_value()) +
         "\n";
}

std::string SignatureObjects(const std::vector<SignatureCheck>& checks) {
  std::ostringstream out;
  out << "[";
  const char* comma = "";
  for (const SignatureCheck& check : checks) {
    const CryptoCheck result = check.Result();
    const CryptoCheck stamp = check.TimeStampResult();
    const bool stamped = check.signature.timeStamp.kind != TimeStampKind::kNone;
    out << comma << "{\"nested\":" << (check.signature.nested ? "true" : "false")
        << ",\"digestAlgorithm\":" << JsonString(check.signature.digestAlgorithm)
        << ",\"signedDigest\":\"" << HexDigest(check.signature.digest) << "\",\"fileDigest\":"
        << (check.fileDigest ? "\"" + HexDigest(*check.fileDigest) + "\"" : "null")
        << ",\"digestMatches\":"
        << (!check.fileDigest ? "null"
            : check.Matches() ? "true"
                              : "false")
        << ",\"result\":" << VerdictJson(result.verdict)
        << ",\"reason\":" << (result.reason.empty() ? "null" : JsonString(result.reason))
        << ",\"trustedRoot\":"
        << (!check.chainProblem           ? "\"not-checked\""
            : check.chainProblem->empty() ? "\"verified\""
                                          : "\"does-not-verify\"")
        << ",\"signer\":"
        << (check.signature.signer.empty() ? "null" : JsonString(check.signature.signer))
        << ",\"timeStamp\":" << TimeStampJson(check.signature.timeStamp.kind)
        << ",\"timeStampResult\":" << (stamped ? VerdictJson(stamp.verdict) : "null")
        << ",\"timeStampReason\":"
        << (stamped && !stamp.reason.empty() ? JsonString(stamp.reason) : "null")
        << ",\"timeStampSigner\":"
        << (check.signature.timeStamp.signer.empty() ? "null"
                                                     : JsonString(check.signature.timeStamp.signer))
        << "}";
    comma = ",";
  }
  out << "]";
  return out.str();
}

// An embedded file's signature as a whole: verified only when every signature in it is.
CryptoCheck EmbeddedResult(const std::string& problem, const std::vector<SignatureCheck>& checks) {
  if (!problem.empty()) return {Verdict::kFails, problem};
  CryptoCheck worst{Verdict::kVerified, ""};
  for (const SignatureCheck& check : checks) {
    CryptoCheck result = check.Result();
    if (static_cast<int>(result.verdict) > static_cast<int>(worst.verdict)) worst = result;
  }
  return worst;
}

CryptoCheck InstallerResult(const SignatureReport& report) {
  return EmbeddedResult(report.installerProblem, report.installerSignatures);
}

CryptoCheck PackageResult(const SignatureReport& report) {
  return EmbeddedResult(report.packageProblem, report.packageSignatures);
}

// Each signature of an embedded file, a line each.
std::string EmbeddedSignatureLines(const char* what, const std::vector<SignatureCheck>& checks) {
  std::string lines;
  for (size_t i = 0; i < checks.size(); ++i)
    lines += "  " + SignatureLine(std::string(what) + " signature " + std::to_string(i + 1) +
                                      (checks[i].signature.nested ? " (nested)" : ""),
                                  checks[i]);
  return lines;
}

std::string EmbeddedText(const char* what, const std::u16string& name,
                         const std::optional<EmbeddedSignature>& state, const char* unreadable,
                         const std::string& signedText) {
  std::string line = std::string("  ") + what + " " + TerminalText(Utf16ToUtf8(name)) + ": ";
  switch (*state) {
    case EmbeddedSignature::kSigned:
      return line + signedText + "\n";
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
    out << SignatureLine(
        "signature " + std::to_string(i + 1) + (check.signature.nested ? " (nested)" : ""), check);
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
  if (report.installer) {
    out << EmbeddedText("installer", view.names.installerName, report.installer,
                        "no Windows program's headers to read",
                        "signed, " + VerdictText(InstallerResult(report), report.chainsChecked));
    out << EmbeddedSignatureLines("installer", report.installerSignatures);
  }
  if (report.package) {
    out << EmbeddedText("package", view.names.packageName, report.package,
                        "not a compound file whose directory can be read",
                        "signed, " + VerdictText(PackageResult(report), report.chainsChecked));
    out << EmbeddedSignatureLines("package", report.packageSignatures);
  }
  return out.str();
}

std::string SignatureJson(const SignatureReport& report) {
  std::ostringstream out;
  out << "{\"signed\":" << (report.hasSignature ? "true" : "false")
      << ",\"problem\":" << (report.problem.empty() ? "null" : JsonString(report.problem))
      << ",\"signatures\":" << SignatureObjects(report.signatures) << ",\"bytesAfterSignature\":";
  if (report.afterSignature)
    out << *report.afterSignature;
  else
    out << "null";
  out << ",\"onlyAlignment\":" << (report.onlyAlignment ? "true" : "false") << ",\"installer\":";
  const bool installerSigned = report.installer == EmbeddedSignature::kSigned;
  if (report.installer)
    out << "\"" << EmbeddedName(*report.installer) << "\"";
  else
    out << "null";
  const CryptoCheck installer = InstallerResult(report);
  out << ",\"installerResult\":" << (installerSigned ? VerdictJson(installer.verdict) : "null")
      << ",\"installerReason\":"
      << (installerSigned && !installer.reason.empty() ? JsonString(installer.reason) : "null")
      << ",\"installerSignatures\":" << SignatureObjects(report.installerSignatures)
      << ",\"package\":";
  if (report.package)
    out << "\"" << EmbeddedName(*report.package) << "\"";
  else
    out << "null";
  const bool packageSigned = report.package == EmbeddedSignature::kSigned;
  const CryptoCheck package = PackageResult(report);
  out << ",\"packageResult\":" << (packageSigned ? VerdictJson(package.verdict) : "null")
      << ",\"packageReason\":"
      << (packageSigned && !package.reason.empty() ? JsonString(package.reason) : "null")
      << ",\"packageSignatures\":" << SignatureObjects(report.packageSignatures) << "}";
  return out.str();
}

#include "pack/rules/signature_rules.h"

#include <algorithm>

#include "pack/format/authenticode_hash.h"

namespace {

// A signature larger than this is not read (a certificate table of real signatures, chains and
// time stamps included, stays far below it).
constexpr uint64_t kLargestSignatureRead = 16u << 20;

std::string Which(size_t index, const AuthenticodeSignature& signature) {
  return "signature " + std::to_string(index + 1) + (signature.nested ? " (nested)" : "");
}

}  // namespace

std::string HexDigest(const std::vector<uint8_t>& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

SignatureReport ReadSignatureReport(const LauncherView& view, InputFile& file) {
  SignatureReport report;
  const AnchorRecord& record = view.record;
  // The embedded files are looked into only where the launcher would find them whole.
  if (view.Accepted() && view.image &&
      uint64_t{record.installerOffset} + record.installerSize <= view.fileLength &&
      uint64_t{record.packageOffset} + record.packageSize <= view.fileLength) {
    std::vector<uint8_t> head = file.ReadAt(
        record.installerOffset, std::min<size_t>(kProgramHeadSize, record.installerSize));
    report.installer = ProgramSignature(head.data(), head.size(), record.installerSize);
    report.package =
        PackageSignature(record.packageSize, [&](uint64_t at, uint8_t* bytes, size_t count) {
          file.ReadAt(record.packageOffset + at, bytes, count);
        });
  }

  if (!view.certificate || !view.certificate->signatureLength) return report;
  const PeDataDirectory table = view.CertificateTable();
  const uint64_t length = *view.certificate->signatureLength;
  const uint64_t start = uint64_t{table.address} + kWinCertificateHeaderSize;
  if (start + length > view.fileLength) return report;
  report.hasSignature = true;
  report.afterSignature = view.certificate->afterSignature;
  report.onlyAlignment =
      view.certificate->afterSignature < 8 && view.certificate->afterSignatureZero;
  if (length > kLargestSignatureRead) {
    report.problem = "the signature is " + std::to_string(length) + " bytes long, more than the " +
                     std::to_string(kLargestSignatureRead) + " read";
    return report;
  }
  std::vector<uint8_t> der = file.ReadAt(start, static_cast<size_t>(length));
  AuthenticodeSignatures read = ReadAuthenticodeSignatures(der.data(), der.size());
  report.problem = read.problem;

  // One pass over the file for each algorithm that is named.
  std::vector<std::pair<DigestAlgorithm, std::vector<uint8_t>>> digests;
  for (const AuthenticodeSignature& signature : read.signatures) {
    SignatureCheck check{signature, std::nullopt};
    if (std::optional<DigestAlgorithm> algorithm = ComputableDigest(signature.digestAlgorithm)) {
      auto known = std::find_if(digests.begin(), digests.end(),
                                [&](const auto& entry) { return entry.first == *algorithm; });
      if (known == digests.end())
        known = digests.insert(
            digests.end(),
            {*algorithm, AuthenticodeDigestOfFile(file, *view.image, table.address, *algorithm)});
      check.fileDigest = known->second;
    }
    report.signatures.push_back(check);
  }
  return report;
}

void CheckSignatures(const SignatureReport& report, const SignatureRequirements& required,
                     std::vector<std::string>& out) {
  for (size_t i = 0; i < report.signatures.size(); ++i) {
    const SignatureCheck& check = report.signatures[i];
    if (check.fileDigest && !check.Matches())
      out.push_back("signature-digest: " + Which(i, check.signature) + " signs the " +
                    check.signature.digestAlgorithm + " image digest " +
                    HexDigest(check.signature.digest) + ", but the file's is " +
                    HexDigest(*check.fileDigest) + ": the file was changed after it was signed");
  }
  if (required.signedFile && !report.hasSignature)
    out.push_back("signature-required: the file carries no signature (--require-signed)");
  else if (required.signedFile && !report.problem.empty())
    out.push_back("signature-required: " + report.problem +
                  ", so what the signature covers is not known (--require-signed)");
  if (required.timeStamp) {
    if (!report.hasSignature)
      out.push_back("timestamp-required: the file carries no signature, so no time stamp "
                    "(--require-timestamp)");
    else if (!report.problem.empty())
      out.push_back("timestamp-required: " + report.problem +
                    ", so not every time stamp is known (--require-timestamp)");
    for (size_t i = 0; i < report.signatures.size(); ++i)
      if (report.signatures[i].signature.timeStamp == TimeStampKind::kNone)
        out.push_back("timestamp-required: " + Which(i, report.signatures[i].signature) +
                      " has no time stamp (--require-timestamp)");
  }
}

const std::vector<std::string>& SignatureRuleNames() {
  static const std::vector<std::string> names{"signature-digest", "signature-required",
                                              "timestamp-required"};
  return names;
}

bool SignatureRuleChecked(const std::string& rule, const SignatureReport& report,
                          const SignatureRequirements& required) {
  if (rule == "signature-required") return required.signedFile;
  if (rule == "timestamp-required") return required.timeStamp;
  // signature-digest
  return std::any_of(report.signatures.begin(), report.signatures.end(),
                     [](const SignatureCheck& check) { return check.fileDigest.has_value(); });
}

#include "pack/rules/signature_rules.h"

#include <algorithm>
#include <functional>

#include "launch/anchor_record.h"
#include "pack/format/authenticode_hash.h"
#include "pack/format/certificate_table.h"
#include "pack/format/msi_signed_content.h"
#include "pack/format/pe_image.h"

namespace {

// A signature larger than this is not read (a certificate table of real signatures, chains and
// time stamps included, stays far below it).
constexpr uint64_t kLargestSignatureRead = 16u << 20;

constexpr uint16_t kCertificateTypePkcsSignedData = 2;

std::string Which(size_t index, const AuthenticodeSignature& signature) {
  return "signature " + std::to_string(index + 1) + (signature.nested ? " (nested)" : "");
}

// The image digest by `algorithm` of the file being checked.
using DigestOf = std::function<std::vector<uint8_t>(HashAlgorithm)>;

// Reads the signatures in `der`, and checks each against the file's digest and, with a CA file,
// its chain.
std::vector<SignatureCheck> CheckAll(const std::vector<uint8_t>& der, const DigestOf& digestOf,
                                     const SignatureTrust& trust, std::string& problem) {
  AuthenticodeSignatures read = ReadAuthenticodeSignatures(der.data(), der.size());
  problem = read.problem;
  // One pass over the file for each algorithm that is named.
  std::vector<std::pair<HashAlgorithm, std::vector<uint8_t>>> digests;
  std::vector<SignatureCheck> checks;
  for (const AuthenticodeSignature& signature : read.signatures) {
    SignatureCheck check{signature, std::nullopt, std::nullopt, std::nullopt};
    if (std::optional<HashAlgorithm> algorithm = ComputableDigest(signature.digestAlgorithm)) {
      auto known = std::find_if(digests.begin(), digests.end(),
                                [&](const auto& entry) { return entry.first == *algorithm; });
      if (known == digests.end())
        known = digests.insert(digests.end(), {*algorithm, digestOf(*algorithm)});
      check.fileDigest = known->second;
    }
    const TimeStamp& stamp = signature.timeStamp;
    const bool stampHolds =
        stamp.kind != TimeStampKind::kNone && stamp.check.verdict == Verdict::kVerified;
    // The signer's certificate counts at the verified time stamp's time, otherwise now.
    if (!trust.caPem.empty() && !signature.signerCertificate.empty())
      check.chainProblem =
          CheckChain(signature.signerCertificate, signature.certificates, trust.caPem,
                     ChainPurpose::kCodeSigning, stampHolds ? stamp.time : std::nullopt);
    if (!trust.timeStampCaPem.empty() && stampHolds && !stamp.certificate.empty())
      check.timeStampChainProblem =
          CheckChain(stamp.certificate, stamp.certificates, trust.timeStampCaPem,
                     ChainPurpose::kTimeStamping, stamp.time);
    checks.push_back(check);
  }
  return checks;
}

// The signed installer program's certificate table: its first WIN_CERTIFICATE entry, read and
// checked against the program's own image digest.
void CheckProgram(InputFile& file, uint64_t programAt, uint64_t programSize,
                  const ProgramSignatureTable& table, const SignatureTrust& trust,
                  SignatureReport& report) {
  uint8_t header[kWinCertificateHeaderSize];
  const uint64_t tableEnd = uint64_t{table.address} + table.size;
  if (table.size < sizeof header) {
    report.installerProblem = "its certificate table is too short for a WIN_CERTIFICATE entry";
    return;
  }
  file.ReadAt(programAt + table.address, header, sizeof header);
  const uint32_t length = LoadU32(header);
  if (LoadU16(header + 6) != kCertificateTypePkcsSignedData || length <= sizeof header ||
      table.address + uint64_t{length} > tableEnd) {
    report.installerProblem =
        "its certificate table holds no PKCS #7 signature that lies inside the table";
    return;
  }
  if (length > kLargestSignatureRead) {
    report.installerProblem =
        "its signature is larger than the " + std::to_string(kLargestSignatureRead) + " bytes read";
    return;
  }
  std::vector<uint8_t> der =
      file.ReadAt(programAt + table.address + sizeof header, length - sizeof header);
  auto digestOf = [&](HashAlgorithm algorithm) {
    AuthenticodeHash hash(algorithm, table.checksumOffset, table.certificateEntryOffset,
                          table.address);
    std::vector<uint8_t> piece(1 << 20);
    for (uint64_t at = 0; at < std::min<uint64_t>(table.address, programSize);) {
      size_t part = static_cast<size_t>(std::min<uint64_t>(piece.size(), table.address - at));
      file.ReadAt(programAt + at, piece.data(), part);
      hash.Add(piece.data(), part);
      at += part;
    }
    return hash.Finish();
  };
  report.installerSignatures = CheckAll(der, digestOf, trust, report.installerProblem);
}

// The package's signature: the \x05DigitalSignature stream's SignedData, checked against the
// digest of the package's streams (after the hash of their metadata when the package carries
// \x05MsiDigitalSignatureEx), as Windows Installer computes it.
void CheckPackage(InputFile& file, uint64_t packageAt, uint64_t packageSize,
                  const SignatureTrust& trust, SignatureReport& report) {
  PackageBytes package(packageSize, [&](uint64_t at, uint8_t* bytes, size_t count) {
    file.ReadAt(packageAt + at, bytes, count);
  });
  MsiSignatureStreams streams;
  try {
    streams = ReadMsiSignatureStreams(package, kLargestSignatureRead);
  } catch (const PackageFormatError& error) {
    report.packageProblem = std::string("its signature cannot be read: ") + error.what();
    return;
  }
  if (!streams.signature) {
    report.packageProblem =
        "its DigitalSignature stream is not under the root storage, where Windows Installer "
        "looks for it";
    return;
  }
  std::string walkProblem;
  auto digestOf = [&](HashAlgorithm algorithm) {
    Hash hash(algorithm);
    auto add = [&](const uint8_t* bytes, size_t count) { hash.Add(bytes, count); };
    try {
      if (streams.signatureEx) {
        Hash metadata(algorithm);
        MsiSignedMetadata(package,
                          [&](const uint8_t* bytes, size_t count) { metadata.Add(bytes, count); });
        std::vector<uint8_t> prehash = metadata.Finish();
        if (prehash != *streams.signatureEx && walkProblem.empty())
          walkProblem = std::string("its MsiDigitalSignatureEx stream is not the ") +
                        HashName(algorithm) + " hash of the package's stream metadata";
        add(prehash.data(), prehash.size());
      }
      MsiSignedContent(package, add);
    } catch (const PackageFormatError& error) {
      if (walkProblem.empty())
        walkProblem = std::string("the digest of its streams cannot be computed: ") + error.what();
    }
    return hash.Finish();
  };
  std::string readProblem;
  report.packageSignatures = CheckAll(*streams.signature, digestOf, trust, readProblem);
  for (SignatureCheck& check : report.packageSignatures) check.ofPackage = true;
  report.packageProblem = !walkProblem.empty() ? walkProblem : readProblem;
}

// What --require-signed asks of one signature that is not verified.
std::string NotVerifiedText(const CryptoCheck& result) {
  return (result.verdict == Verdict::kFails ? "does not verify: " : "is present, not verified: ") +
         result.reason;
}

// The installer program's and the package's signatures are judged alike: a signature table that
// cannot be read, or a signature in it that does not verify, breaks signature-verifies.
void EmbeddedFileFindings(const std::string& whose, std::optional<EmbeddedSignature> state,
                          const std::string& problem, const std::vector<SignatureCheck>& checks,
                          std::vector<std::string>& out) {
  if (!problem.empty() && state == EmbeddedSignature::kSigned)
    out.push_back("signature-verifies: " + whose + " signature does not verify: " + problem);
  for (size_t i = 0; i < checks.size(); ++i) {
    CryptoCheck result = checks[i].Result();
    if (result.verdict == Verdict::kFails)
      out.push_back("signature-verifies: " + whose + " " + Which(i, checks[i].signature) +
                    " does not verify: " + result.reason);
  }
}

}  // namespace

CryptoCheck SignatureCheck::Result() const {
  const CryptoCheck& signer = signature.signerCheck;
  if (signer.verdict == Verdict::kFails) return signer;
  if (fileDigest && !Matches())
    return {Verdict::kFails,
            ofPackage ? "the digest of the package's streams differs: the package was changed "
                        "after it was signed"
                      : "the image digest differs: the file was changed after it was signed"};
  if (!fileDigest)
    return {Verdict::kNotVerified,
            "its digest algorithm " + signature.digestAlgorithm + " is not one the tool computes"};
  if (signer.verdict != Verdict::kVerified) return signer;
  if (chainProblem && !chainProblem->empty())
    return {Verdict::kFails,
            "the signer's certificate does not chain to a root of the CA file: " + *chainProblem};
  return {Verdict::kVerified, ""};
}

CryptoCheck SignatureCheck::TimeStampResult() const {
  const CryptoCheck& own = signature.timeStamp.check;
  if (own.verdict != Verdict::kVerified) return own;
  if (timeStampChainProblem && !timeStampChainProblem->empty())
    return {Verdict::kFails, "the time stamper's certificate does not chain to a root of the "
                             "time-stamp CA file: " +
                                 *timeStampChainProblem};
  return own;
}

std::string HexDigest(const std::vector<uint8_t>& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

SignatureReport ReadSignatureReport(const LauncherView& view, InputFile& file,
                                    const SignatureTrust& trust) {
  SignatureReport report;
  report.chainsChecked = !trust.caPem.empty();
  report.timeStampChainsChecked = !trust.timeStampCaPem.empty();
  const AnchorRecord& record = view.record;
  // The embedded files are looked into only where the launcher would find them whole.
  if (view.Accepted() && view.image &&
      uint64_t{record.installerOffset} + record.installerSize <= view.fileLength &&
      uint64_t{record.packageOffset} + record.packageSize <= view.fileLength) {
    std::vector<uint8_t> head = file.ReadAt(
        record.installerOffset, std::min<size_t>(kProgramHeadSize, record.installerSize));
    ProgramSignatureTable table;
    report.installer = ProgramSignature(head.data(), head.size(), record.installerSize, &table);
    if (*report.installer == EmbeddedSignature::kSigned)
      CheckProgram(file, record.installerOffset, record.installerSize, table, trust, report);
    report.package =
        PackageSignature(record.packageSize, [&](uint64_t at, uint8_t* bytes, size_t count) {
          file.ReadAt(record.packageOffset + at, bytes, count);
        });
    if (*report.package == EmbeddedSignature::kSigned)
      CheckPackage(file, record.packageOffset, record.packageSize, trust, report);
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
  report.signatures = CheckAll(
      der,
      [&](HashAlgorithm algorithm) {
        return AuthenticodeDigestOfFile(file, *view.image, table.address, algorithm);
      },
      trust, report.problem);
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
  // A signature that does not verify, apart from its image digest (the rule above).
  for (size_t i = 0; i < report.signatures.size(); ++i) {
    const SignatureCheck& check = report.signatures[i];
    CryptoCheck result = check.Result();
    if (result.verdict == Verdict::kFails && (!check.fileDigest || check.Matches()))
      out.push_back("signature-verifies: " + Which(i, check.signature) +
                    " does not verify: " + result.reason);
  }
  EmbeddedFileFindings("the installer program's", report.installer, report.installerProblem,
                       report.installerSignatures, out);
  EmbeddedFileFindings("the package's", report.package, report.packageProblem,
                       report.packageSignatures, out);

  if (required.signedFile && !report.hasSignature)
    out.push_back("signature-required: the file carries no signature (--require-signed)");
  else if (required.signedFile && !report.problem.empty())
    out.push_back("signature-required: " + report.problem +
                  ", so what the signature covers is not known (--require-signed)");
  if (required.signedFile) {
    for (size_t i = 0; i < report.signatures.size(); ++i) {
      CryptoCheck result = report.signatures[i].Result();
      if (result.verdict != Verdict::kVerified)
        out.push_back("signature-required: " + Which(i, report.signatures[i].signature) + " " +
                      NotVerifiedText(result) + " (--require-signed)");
    }
    for (size_t i = 0; i < report.installerSignatures.size(); ++i) {
      CryptoCheck result = report.installerSignatures[i].Result();
      if (result.verdict != Verdict::kVerified)
        out.push_back("signature-required: the installer program's " +
                      Which(i, report.installerSignatures[i].signature) + " " +
                      NotVerifiedText(result) + " (--require-signed)");
    }
    for (size_t i = 0; i < report.packageSignatures.size(); ++i) {
      CryptoCheck result = report.packageSignatures[i].Result();
      if (result.verdict != Verdict::kVerified)
        out.push_back("signature-required: the package's " +
                      Which(i, report.packageSignatures[i].signature) + " " +
                      NotVerifiedText(result) + " (--require-signed)");
    }
  }
  if (required.timeStamp) {
    if (!report.hasSignature) {
      out.push_back("timestamp-required: the file carries no signature, so no time stamp "
                    "(--require-timestamp)");
    } else if (report.signatures.empty()) {
      out.push_back("timestamp-required: " + report.problem +
                    ", so no time stamp is known (--require-timestamp)");
    } else {
      // The outer signature's time stamp is the one that keeps the file valid.
      const SignatureCheck& outer = report.signatures[0];
      CryptoCheck stamp = outer.TimeStampResult();
      if (outer.signature.timeStamp.kind == TimeStampKind::kNone)
        out.push_back("timestamp-required: signature 1 has no time stamp (--require-timestamp)");
      else if (stamp.verdict != Verdict::kVerified)
        out.push_back("timestamp-required: signature 1's time stamp " + NotVerifiedText(stamp) +
                      " (--require-timestamp)");
    }
  }
}

const std::vector<std::string>& SignatureRuleNames() {
  static const std::vector<std::string> names{"signature-digest", "signature-verifies",
                                              "signature-required", "timestamp-required"};
  return names;
}

bool SignatureRuleChecked(const std::string& rule, const SignatureReport& report,
                          const SignatureRequirements& required) {
  if (rule == "signature-required") return required.signedFile;
  if (rule == "timestamp-required") return required.timeStamp;
  if (rule == "signature-verifies")
    return !report.signatures.empty() || report.installer == EmbeddedSignature::kSigned ||
           report.package == EmbeddedSignature::kSigned;
  // signature-digest
  return std::any_of(report.signatures.begin(), report.signatures.end(),
                     [](const SignatureCheck& check) { return check.fileDigest.has_value(); });
}

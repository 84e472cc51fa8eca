// verify's readers of a signed file and its embedded files: the signature and its checks, an
// embedded installer's headers, an embedded package (docs/fuzzing.md, fuzz_authenticode). Input:
// one selector byte (0 the signature, 1 the installer's headers, 2 the package), then the bytes,
// in a heap buffer of exactly their size so the sanitizers catch any read outside.
#include <cstdint>
#include <cstring>
#include <memory>

#include "pack/format/authenticode_signature.h"
#include "pack/format/embedded_signature.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t selector = data[0] % 3;
  const size_t n = size - 1;
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[n ? n : 1]);
  std::memcpy(bytes.get(), data + 1, n);

  if (selector == 0) {
    AuthenticodeSignatures read = ReadAuthenticodeSignatures(bytes.get(), n);
    // A read that found nothing says why; only the first signature stands outside the others.
    FUZZ_CHECK(!read.signatures.empty() || !read.problem.empty());
    for (size_t i = 0; i < read.signatures.size(); ++i) {
      FUZZ_CHECK(read.signatures[i].nested == (i != 0));
      FUZZ_CHECK(read.signatures[i].digest.size() <= n);
      FUZZ_CHECK(!read.signatures[i].digestAlgorithm.empty());
      // A verdict gives its reason unless it is "verified", and a verified signer was named.
      const AuthenticodeSignature& signature = read.signatures[i];
      const bool verified = signature.signerCheck.verdict == Verdict::kVerified;
      FUZZ_CHECK(verified == signature.signerCheck.reason.empty());
      FUZZ_CHECK(!verified || !signature.signerCertificate.empty());
      const TimeStamp& stamp = signature.timeStamp;
      FUZZ_CHECK(stamp.kind != TimeStampKind::kNone ||
                 (stamp.check.verdict == Verdict::kNotVerified && stamp.check.reason.empty()));
      FUZZ_CHECK(stamp.kind == TimeStampKind::kNone ||
                 (stamp.check.verdict == Verdict::kVerified) == stamp.check.reason.empty());
    }
    NameText(bytes.get(), n);
  } else if (selector == 1) {
    ProgramSignatureTable table;
    if (ProgramSignature(bytes.get(), n, n, &table) == EmbeddedSignature::kSigned)
      FUZZ_CHECK(uint64_t{table.address} + table.size <= n && table.checksumOffset < n);
  } else {
    PackageSignature(n, [&](uint64_t at, uint8_t* out, size_t count) {
      FUZZ_CHECK(at <= n && count <= n - at);
      std::memcpy(out, bytes.get() + at, count);
    });
  }
  return 0;
}

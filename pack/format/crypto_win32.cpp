// The cryptography on Windows: bcrypt for hashes and signatures, crypt32 for certificates and
// chains. Only system DLLs, as every Windows build of the tool.
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <new>

#include "pack/format/crypto.h"
#include "pack/format/der_reader.h"

namespace {

const wchar_t* AlgorithmId(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::kSha1:
      return BCRYPT_SHA1_ALGORITHM;
    case HashAlgorithm::kSha384:
      return BCRYPT_SHA384_ALGORITHM;
    case HashAlgorithm::kSha512:
      return BCRYPT_SHA512_ALGORITHM;
    case HashAlgorithm::kSha256:
      break;
  }
  return BCRYPT_SHA256_ALGORITHM;
}

bool Succeeded(NTSTATUS status) { return status >= 0; }

// An ECDSA-Sig-Value { r INTEGER, s INTEGER } as bcrypt takes it: r and s big-endian, each
// `size` bytes. Empty when it cannot be read or a number is too long.
std::vector<uint8_t> RawEcdsaSignature(const std::vector<uint8_t>& der, size_t size) {
  DerReader top(der.data(), der.size());
  std::optional<DerElement> sequence = top.NextIf(kDerSequence);
  if (!sequence || !top.AtEnd()) return {};
  DerReader numbers(*sequence);
  std::vector<uint8_t> raw;
  for (int i = 0; i < 2; ++i) {
    std::optional<DerElement> number = numbers.NextIf(kDerInteger);
    if (!number) return {};
    const uint8_t* at = number->content;
    size_t length = number->length;
    while (length > 0 && *at == 0) ++at, --length;
    if (length > size) return {};
    raw.insert(raw.end(), size - length, 0);
    raw.insert(raw.end(), at, at + length);
  }
  return numbers.AtEnd() ? raw : std::vector<uint8_t>{};
}

// Every certificate of a PEM text, DER.
std::vector<std::vector<uint8_t>> PemCertificates(const std::string& pem) {
  static const char kBegin[] = "-----BEGIN CERTIFICATE-----";
  static const char kEnd[] = "-----END CERTIFICATE-----";
  std::vector<std::vector<uint8_t>> all;
  for (size_t at = pem.find(kBegin); at != std::string::npos; at = pem.find(kBegin, at)) {
    size_t end = pem.find(kEnd, at);
    if (end == std::string::npos) break;
    end += sizeof kEnd - 1;
    DWORD size = 0;
    const DWORD count = static_cast<DWORD>(end - at);
    if (CryptStringToBinaryA(pem.data() + at, count, CRYPT_STRING_BASE64HEADER, nullptr, &size,
                             nullptr, nullptr) &&
        size) {
      std::vector<uint8_t> der(size);
      if (CryptStringToBinaryA(pem.data() + at, count, CRYPT_STRING_BASE64HEADER, der.data(), &size,
                               nullptr, nullptr))
        all.push_back(der);
    }
    at = end;
  }
  return all;
}

}  // namespace

struct Hash::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Hash::Hash(HashAlgorithm algorithm) : state_(new State) {
  if (!Succeeded(
          BCryptOpenAlgorithmProvider(&state_->algorithm, AlgorithmId(algorithm), nullptr, 0)) ||
      !Succeeded(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0)))
    throw std::bad_alloc();
}

Hash::~Hash() = default;
Hash::Hash(Hash&& other) noexcept = default;
Hash& Hash::operator=(Hash&& other) noexcept = default;

void Hash::Add(const uint8_t* bytes, size_t count) {
  // bcrypt takes at most 4 GiB a call.
  while (count) {
    const ULONG part = count > 0x40000000 ? 0x40000000 : static_cast<ULONG>(count);
    BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), part, 0);
    bytes += part;
    count -= part;
  }
}

std::vector<uint8_t> Hash::Finish() {
  DWORD size = 0;
  ULONG got = 0;
  BCryptGetProperty(state_->hash, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&size), sizeof size,
                    &got, 0);
  std::vector<uint8_t> digest(size);
  BCryptFinishHash(state_->hash, digest.data(), size, 0);
  return digest;
}

std::string VerifySignature(const std::vector<uint8_t>& certificate,
                            const SignatureParameters& parameters,
                            const std::vector<uint8_t>& message,
                            const std::vector<uint8_t>& signature) {
  PCCERT_CONTEXT context = CertCreateCertificateContext(X509_ASN_ENCODING, certificate.data(),
                                                        static_cast<DWORD>(certificate.size()));
  if (!context) return "the signer's certificate cannot be read";
  const std::string keyType = context->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId;
  const bool ecdsa = keyType == szOID_ECC_PUBLIC_KEY;
  const bool rsa = keyType == szOID_RSA_RSA || keyType == "1.2.840.113549.1.1.10";
  BCRYPT_KEY_HANDLE key = nullptr;
  std::string problem;
  if (ecdsa != (parameters.scheme == SignatureScheme::kEcdsa) || (!ecdsa && !rsa)) {
    problem = "the signature's algorithm does not fit the key of the signer's certificate";
  } else if (!CryptImportPublicKeyInfoEx2(
                 X509_ASN_ENCODING, &context->pCertInfo->SubjectPublicKeyInfo, 0, nullptr, &key)) {
    problem = "the signer's certificate holds no public key that can be read";
  }
  if (problem.empty()) {
    const std::vector<uint8_t> digest = HashOf(parameters.hash, message.data(), message.size());
    NTSTATUS status;
    if (ecdsa) {
      // The curve, from the key's parameters (an OBJECT IDENTIFIER): P-256 or P-384.
      const CRYPT_OBJID_BLOB& curve = context->pCertInfo->SubjectPublicKeyInfo.Algorithm.Parameters;
      static const uint8_t kP256[] = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
      static const uint8_t kP384[] = {0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x22};
      auto is = [&](const uint8_t* oid, size_t size) {
        return curve.cbData == size && std::equal(oid, oid + size, curve.pbData);
      };
      const size_t size = is(kP256, sizeof kP256) ? 32 : is(kP384, sizeof kP384) ? 48 : 0;
      if (size == 0) {
        problem = "the signer's key is not on curve P-256 or P-384";
        status = -1;
      } else {
        std::vector<uint8_t> raw = RawEcdsaSignature(signature, size);
        status = raw.empty()
                     ? -1
                     : BCryptVerifySignature(key, nullptr, const_cast<PUCHAR>(digest.data()),
                                             static_cast<ULONG>(digest.size()), raw.data(),
                                             static_cast<ULONG>(raw.size()), 0);
      }
    } else if (parameters.scheme == SignatureScheme::kRsaPss &&
               parameters.maskHash != parameters.hash) {
      problem = "bcrypt cannot check RSASSA-PSS whose MGF1 hash differs from its hash";
      status = -1;
    } else if (parameters.scheme == SignatureScheme::kRsaPss) {
      BCRYPT_PSS_PADDING_INFO padding{AlgorithmId(parameters.hash),
                                      static_cast<ULONG>(parameters.pssSaltLength)};
      status = BCryptVerifySignature(key, &padding, const_cast<PUCHAR>(digest.data()),
                                     static_cast<ULONG>(digest.size()),
                                     const_cast<PUCHAR>(signature.data()),
                                     static_cast<ULONG>(signature.size()), BCRYPT_PAD_PSS);
    } else {
      BCRYPT_PKCS1_PADDING_INFO padding{AlgorithmId(parameters.hash)};
      status = BCryptVerifySignature(key, &padding, const_cast<PUCHAR>(digest.data()),
                                     static_cast<ULONG>(digest.size()),
                                     const_cast<PUCHAR>(signature.data()),
                                     static_cast<ULONG>(signature.size()), BCRYPT_PAD_PKCS1);
    }
    if (problem.empty() && !Succeeded(status))
      problem = "the signature does not match the public key of the signer's certificate";
  }
  if (key) BCryptDestroyKey(key);
  CertFreeCertificateContext(context);
  return problem;
}

// The chain is built by the system's engine with the CA file's certificates and the signature's
// own as extra stores; it counts only when it ends on a certificate of the CA file, whatever
// roots the system itself trusts.
bool CanVerifyPssWithAnotherMaskHash() { return false; }

std::string CheckChain(const std::vector<uint8_t>& certificate,
                       const std::vector<std::vector<uint8_t>>& others, const std::string& caPem,
                       ChainPurpose purpose, std::optional<int64_t> when) {
  const std::vector<std::vector<uint8_t>> roots = PemCertificates(caPem);
  if (roots.empty()) return "no certificate can be read from the CA file";
  PCCERT_CONTEXT leaf = CertCreateCertificateContext(X509_ASN_ENCODING, certificate.data(),
                                                     static_cast<DWORD>(certificate.size()));
  if (!leaf) return "the certificate cannot be read";
  HCERTSTORE extra = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
  if (!extra) {
    CertFreeCertificateContext(leaf);
    throw std::bad_alloc();
  }
  for (const std::vector<uint8_t>& der : roots)
    CertAddEncodedCertificateToStore(extra, X509_ASN_ENCODING, der.data(),
                                     static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS,
                                     nullptr);
  for (const std::vector<uint8_t>& der : others)
    CertAddEncodedCertificateToStore(extra, X509_ASN_ENCODING, der.data(),
                                     static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS,
                                     nullptr);
  LPSTR usage =
      const_cast<LPSTR>(purpose == ChainPurpose::kCodeSigning ? szOID_PKIX_KP_CODE_SIGNING
                                                              : szOID_PKIX_KP_TIMESTAMP_SIGNING);
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = &usage;
  FILETIME time;
  if (when) {
    const uint64_t ticks = (static_cast<uint64_t>(*when) + 11644473600ull) * 10000000ull;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  }
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  std::string problem;
  if (!CertGetCertificateChain(nullptr, leaf, when ? &time : nullptr, extra, &para, 0, nullptr,
                               &chain) ||
      !chain || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) {
    problem = "no chain can be built";
  } else {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    const CERT_CONTEXT* top = simple->rgpElement[simple->cElement - 1]->pCertContext;
    bool fromFile = false;
    for (const std::vector<uint8_t>& der : roots)
      fromFile = fromFile || (der.size() == top->cbCertEncoded &&
                              std::equal(der.begin(), der.end(), top->pbCertEncoded));
    // The CA file's root is not one the system trusts: that alone is no fault here.
    const DWORD errors = chain->TrustStatus.dwErrorStatus &
                         ~(CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                           CERT_TRUST_IS_OFFLINE_REVOCATION);
    if (!fromFile)
      problem = "the chain does not end on a certificate of the CA file";
    else if (errors & (CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_CTL_IS_NOT_TIME_VALID))
      problem = "a certificate of the chain is not valid at that time";
    else if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
      problem = purpose == ChainPurpose::kCodeSigning
                    ? "the signer's certificate is not for code signing"
                    : "the time stamper's certificate is not for time stamping";
    else if (errors & CERT_TRUST_IS_NOT_SIGNATURE_VALID)
      problem = "a certificate's signature in the chain does not verify";
    else if (errors)
      problem = "the chain has faults (status " + std::to_string(errors) + ")";
  }
  if (chain) CertFreeCertificateChain(chain);
  CertCloseStore(extra, 0);
  CertFreeCertificateContext(leaf);
  return problem;
}

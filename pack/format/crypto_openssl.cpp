// The cryptography on Linux: OpenSSL 3's libcrypto.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <new>

#include "pack/format/crypto.h"

namespace {

const EVP_MD* Digest(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::kSha1:
      return EVP_sha1();
    case HashAlgorithm::kSha384:
      return EVP_sha384();
    case HashAlgorithm::kSha512:
      return EVP_sha512();
    case HashAlgorithm::kSha256:
      break;
  }
  return EVP_sha256();
}

struct X509Free {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
using X509Pointer = std::unique_ptr<X509, X509Free>;

X509Pointer ReadCertificate(const std::vector<uint8_t>& der) {
  const unsigned char* at = der.data();
  X509Pointer certificate(d2i_X509(nullptr, &at, static_cast<long>(der.size())));
  return certificate;
}

}  // namespace

struct Hash::State {
  EVP_MD_CTX* context = nullptr;
  ~State() { EVP_MD_CTX_free(context); }
};

Hash::Hash(HashAlgorithm algorithm) : state_(new State) {
  state_->context = EVP_MD_CTX_new();
  if (!state_->context || EVP_DigestInit_ex(state_->context, Digest(algorithm), nullptr) != 1)
    throw std::bad_alloc();
}

Hash::~Hash() = default;
Hash::Hash(Hash&& other) noexcept = default;
Hash& Hash::operator=(Hash&& other) noexcept = default;

void Hash::Add(const uint8_t* bytes, size_t count) {
  if (count) EVP_DigestUpdate(state_->context, bytes, count);
}

std::vector<uint8_t> Hash::Finish() {
  std::vector<uint8_t> digest(EVP_MAX_MD_SIZE);
  unsigned int size = 0;
  EVP_DigestFinal_ex(state_->context, digest.data(), &size);
  digest.resize(size);
  return digest;
}

std::string VerifySignature(const std::vector<uint8_t>& certificate,
                            const SignatureParameters& parameters,
                            const std::vector<uint8_t>& message,
                            const std::vector<uint8_t>& signature) {
  X509Pointer x509 = ReadCertificate(certificate);
  if (!x509) return "the signer's certificate cannot be read";
  EVP_PKEY* key = X509_get0_pubkey(x509.get());
  if (!key) return "the signer's certificate holds no public key that can be read";
  const int type = EVP_PKEY_get_base_id(key);
  const bool rsa = type == EVP_PKEY_RSA || type == EVP_PKEY_RSA_PSS;
  if ((parameters.scheme == SignatureScheme::kEcdsa) != (type == EVP_PKEY_EC) ||
      (parameters.scheme != SignatureScheme::kEcdsa && !rsa))
    return "the signature's algorithm does not fit the key of the signer's certificate";
  if (type == EVP_PKEY_EC) {
    const int bits = EVP_PKEY_get_bits(key);
    if (bits != 256 && bits != 384) return "the signer's key is not on curve P-256 or P-384";
  }
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (!context) throw std::bad_alloc();
  EVP_PKEY_CTX* keyContext = nullptr;
  int result = EVP_DigestVerifyInit(context, &keyContext, Digest(parameters.hash), nullptr, key);
  if (result == 1 && parameters.scheme == SignatureScheme::kRsaPss)
    result = EVP_PKEY_CTX_set_rsa_padding(keyContext, RSA_PKCS1_PSS_PADDING) == 1 &&
             EVP_PKEY_CTX_set_rsa_mgf1_md(keyContext, Digest(parameters.maskHash)) == 1 &&
             EVP_PKEY_CTX_set_rsa_pss_saltlen(keyContext, parameters.pssSaltLength) == 1;
  if (result == 1)
    result = EVP_DigestVerify(context, signature.data(), signature.size(), message.data(),
                              message.size());
  EVP_MD_CTX_free(context);
  ERR_clear_error();
  return result == 1 ? ""
                     : "the signature does not match the public key of the signer's certificate";
}

bool CanVerifyPssWithAnotherMaskHash() { return true; }

std::string CheckChain(const std::vector<uint8_t>& certificate,
                       const std::vector<std::vector<uint8_t>>& others, const std::string& caPem,
                       ChainPurpose purpose, std::optional<int64_t> when) {
  X509Pointer leaf = ReadCertificate(certificate);
  if (!leaf) return "the certificate cannot be read";
  X509_STORE* store = X509_STORE_new();
  STACK_OF(X509)* untrusted = sk_X509_new_null();
  X509_STORE_CTX* context = X509_STORE_CTX_new();
  if (!store || !untrusted || !context) throw std::bad_alloc();
  std::string problem;
  int roots = 0;
  if (BIO* pem = BIO_new_mem_buf(caPem.data(), static_cast<int>(caPem.size()))) {
    while (X509* root = PEM_read_bio_X509(pem, nullptr, nullptr, nullptr)) {
      roots += X509_STORE_add_cert(store, root) == 1;
      X509_free(root);
    }
    BIO_free(pem);
  }
  if (roots == 0) {
    problem = "no certificate can be read from the CA file";
  } else {
    for (const std::vector<uint8_t>& der : others)
      if (X509Pointer other = ReadCertificate(der)) sk_X509_push(untrusted, other.release());
    X509_STORE_CTX_init(context, store, leaf.get(), untrusted);
    // OpenSSL 3.0 has no purpose for code signing: the chain is built for any purpose and the
    // signer's extended key usage checked here.
    X509_STORE_CTX_set_purpose(context, purpose == ChainPurpose::kCodeSigning
                                            ? X509_PURPOSE_ANY
                                            : X509_PURPOSE_TIMESTAMP_SIGN);
    if (when) X509_STORE_CTX_set_time(context, 0, static_cast<time_t>(*when));
    if (X509_verify_cert(context) != 1)
      problem = X509_verify_cert_error_string(X509_STORE_CTX_get_error(context));
    else if (purpose == ChainPurpose::kCodeSigning &&
             (X509_get_extension_flags(leaf.get()) & EXFLAG_XKUSAGE) &&
             !(X509_get_extended_key_usage(leaf.get()) & XKU_CODE_SIGN))
      problem = "the signer's certificate is not for code signing";
  }
  X509_STORE_CTX_free(context);
  sk_X509_pop_free(untrusted, X509_free);
  X509_STORE_free(store);
  ERR_clear_error();
  return problem;
}

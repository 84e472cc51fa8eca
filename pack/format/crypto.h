// The cryptography the tool needs, from the platform's own library: OpenSSL's libcrypto on Linux
// (crypto_openssl.cpp), bcrypt and crypt32 on Windows (crypto_win32.cpp). Hashes, the check of a
// signature with the public key of a certificate, and the chain from a certificate to a root of
// a PEM file. Nothing here reads a signature's structure; that is authenticode_signature.cpp's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class HashAlgorithm { kSha1, kSha256, kSha384, kSha512 };

// "sha1", "sha256", "sha384", "sha512".
const char* HashName(HashAlgorithm algorithm);

// A hash computed as the bytes come.
class Hash {
 public:
  explicit Hash(HashAlgorithm algorithm);
  ~Hash();
  Hash(Hash&& other) noexcept;
  Hash& operator=(Hash&& other) noexcept;

  void Add(const uint8_t* bytes, size_t count);
  std::vector<uint8_t> Finish();  // once

 private:
  struct State;
  std::unique_ptr<State> state_;
};

std::vector<uint8_t> HashOf(HashAlgorithm algorithm, const uint8_t* bytes, size_t count);

enum class SignatureScheme {
  kRsaPkcs1,  // RSASSA-PKCS1-v1_5
  kRsaPss,    // RSASSA-PSS with MGF1
  kEcdsa,     // ECDSA over P-256 or P-384, the signature an ECDSA-Sig-Value
};

struct SignatureParameters {
  SignatureScheme scheme = SignatureScheme::kRsaPkcs1;
  HashAlgorithm hash = HashAlgorithm::kSha256;
  int pssSaltLength = 20;                           // RSASSA-PSS only
  HashAlgorithm maskHash = HashAlgorithm::kSha256;  // RSASSA-PSS only: MGF1's hash
};

// "" when `signature` is a signature of `message` by the key of `certificate` (DER); otherwise
// why not ("the signature does not match the certificate's public key", "the certificate cannot
// be read", ...). Never throws for bad input.
std::string VerifySignature(const std::vector<uint8_t>& certificate,
                            const SignatureParameters& parameters,
                            const std::vector<uint8_t>& message,
                            const std::vector<uint8_t>& signature);

// Whether VerifySignature checks RSASSA-PSS whose MGF1 hash differs from its hash: OpenSSL does;
// bcrypt's BCRYPT_PSS_PADDING_INFO names one hash for both.
bool CanVerifyPssWithAnotherMaskHash();

enum class ChainPurpose { kCodeSigning, kTimeStamping };

// "" when `certificate` (DER) chains, through `others` (the certificates the signature carries),
// to a certificate of `caPem` (the text of a PEM file of trusted roots), every certificate valid
// at `when` (seconds since 1970, UTC; now when absent) and fit for `purpose`; otherwise why not.
std::string CheckChain(const std::vector<uint8_t>& certificate,
                       const std::vector<std::vector<uint8_t>>& others, const std::string& caPem,
                       ChainPurpose purpose, std::optional<int64_t> when);

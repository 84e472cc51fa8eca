#include "pack/format/folder_name.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "pack/format/crypto.h"
#include "pack/text/utf.h"

namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;

// The namespace of the folder GUIDs: {5C0E7A52-3B1D-4E8F-9A26-7D41B8C3E0F5}.
constexpr uint8_t kFolderNamespace[16] = {0x5C, 0x0E, 0x7A, 0x52, 0x3B, 0x1D, 0x4E, 0x8F,
                                          0x9A, 0x26, 0x7D, 0x41, 0xB8, 0xC3, 0xE0, 0xF5};

uint64_t Rotate(uint64_t value, int bits) { return value << bits | value >> (64 - bits); }

uint64_t Mix(uint64_t lane, uint64_t input) { return Rotate(lane + input * kPrime2, 31) * kPrime1; }

uint64_t LoadLittle64(const uint8_t* bytes) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

void AddNumber(Hash& sha, uint64_t value) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  sha.Add(bytes, 8);
}

void AddText(Hash& sha, const std::u16string& text) {
  std::string utf8 = Utf16ToUtf8(text);
  AddNumber(sha, utf8.size());
  sha.Add(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size());
}

}  // namespace

void ContentDigest::Stripe(const uint8_t* stripe) {
  for (int i = 0; i < 4; ++i) lanes_[i] = Mix(lanes_[i], LoadLittle64(stripe + 8 * i));
}

void ContentDigest::Add(const uint8_t* bytes, size_t count) {
  if (count == 0) return;  // nothing to add, and an empty buffer may have no address
  length_ += count;
  if (buffered_) {
    size_t take = 32 - buffered_ < count ? 32 - buffered_ : count;
    std::memcpy(buffer_ + buffered_, bytes, take);
    buffered_ += take;
    bytes += take;
    count -= take;
    if (buffered_ < 32) return;
    Stripe(buffer_);
    buffered_ = 0;
  }
  for (; count >= 32; bytes += 32, count -= 32) Stripe(bytes);
  std::memcpy(buffer_, bytes, count);
  buffered_ = count;
}

uint64_t ContentDigest::Value() const {
  uint64_t lanes[4] = {lanes_[0], lanes_[1], lanes_[2], lanes_[3]};
  uint8_t last[32] = {};
  std::memcpy(last, buffer_, buffered_);
  for (int i = 0; i < 4; ++i) lanes[i] = Mix(lanes[i], LoadLittle64(last + 8 * i));
  uint64_t h = Rotate(lanes[0], 1) + Rotate(lanes[1], 7) + Rotate(lanes[2], 12) +
               Rotate(lanes[3], 18) + length_ * kPrime3;
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime3;
  h ^= h >> 32;
  return h;
}

std::u16string DefaultFolderName(const PayloadIdentity& identity) {
  Hash sha(HashAlgorithm::kSha1);
  sha.Add(kFolderNamespace, sizeof kFolderNamespace);
  AddText(sha, identity.title);
  AddText(sha, identity.installerName);
  AddText(sha, identity.packageName);
  for (uint64_t number : {identity.installerTime, identity.packageTime, identity.installerSize,
                          identity.packageSize, identity.installerDigest, identity.packageDigest})
    AddNumber(sha, number);
  std::vector<uint8_t> hash = sha.Finish();
  hash[6] = static_cast<uint8_t>((hash[6] & 0x0F) | 0x50);  // version 5: name-based, SHA-1
  hash[8] = static_cast<uint8_t>((hash[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", hash[0],
                hash[1], hash[2], hash[3], hash[4], hash[5], hash[6], hash[7], hash[8], hash[9],
                hash[10], hash[11], hash[12], hash[13], hash[14], hash[15]);
  return std::u16string(text, text + kFolderGuidLength);
}

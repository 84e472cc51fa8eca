#include <gtest/gtest.h>

#include <cstring>

#include "pack/format/crypto.h"
#include "pack/format/folder_name.h"
#include "pack/text/utf.h"

namespace {

std::string DigestHex(HashAlgorithm algorithm, const std::string& text) {
  // In two pieces, so the hash is fed as a stream is.
  Hash sha(algorithm);
  sha.Add(reinterpret_cast<const uint8_t*>(text.data()), text.size() / 3);
  sha.Add(reinterpret_cast<const uint8_t*>(text.data()) + text.size() / 3,
          text.size() - text.size() / 3);
  std::string hex;
  for (uint8_t byte : sha.Finish()) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", byte);
    hex += two;
  }
  return hex;
}

PayloadIdentity Sample() {
  PayloadIdentity identity;
  identity.title = u"Corvalinth";
  identity.installerName = u"setup.exe";
  identity.packageName = u"Corvalinth.msi";
  identity.installerTime = 1;
  identity.packageTime = 2;
  identity.installerSize = 3;
  identity.packageSize = 4;
  identity.installerDigest = 5;
  identity.packageDigest = 6;
  return identity;
}

}  // namespace

std::string Sha1Hex(const std::string& text) { return DigestHex(HashAlgorithm::kSha1, text); }

TEST(Sha1, MatchesThePublishedTestVectors) {
  EXPECT_EQ(Sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha256, MatchesThePublishedTestVectors) {
  auto hex = [](const std::string& text) { return DigestHex(HashAlgorithm::kSha256, text); };
  EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha384And512, MatchThePublishedTestVectors) {
  EXPECT_EQ(
      DigestHex(HashAlgorithm::kSha384, "abc"),
      "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
      "34c825a7");
  EXPECT_EQ(
      DigestHex(HashAlgorithm::kSha512, "abc"),
      "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23"
      "a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
  EXPECT_STREQ(HashName(HashAlgorithm::kSha384), "sha384");
}

TEST(DefaultFolderName, IsABracedVersion5GuidOfThirtyEightCharacters) {
  std::string guid = Utf16ToUtf8(DefaultFolderName(Sample()));
  ASSERT_EQ(guid.size(), kFolderGuidLength);
  EXPECT_EQ(guid.front(), '{');
  EXPECT_EQ(guid.back(), '}');
  for (size_t dash : {9u, 14u, 19u, 24u}) EXPECT_EQ(guid[dash], '-') << guid;
  EXPECT_EQ(guid[15], '5') << guid;                                          // version
  EXPECT_NE(std::string("89AB").find(guid[20]), std::string::npos) << guid;  // variant
  EXPECT_EQ(guid.find_first_not_of("{}-0123456789ABCDEF"), std::string::npos) << guid;
}

TEST(DefaultFolderName, FollowsThePayloadAndNothingElse) {
  std::u16string first = DefaultFolderName(Sample());
  EXPECT_EQ(DefaultFolderName(Sample()), first);
  PayloadIdentity otherPackage = Sample();
  otherPackage.packageDigest = 7;
  EXPECT_NE(DefaultFolderName(otherPackage), first);
  PayloadIdentity otherTime = Sample();
  otherTime.installerTime = 9;
  EXPECT_NE(DefaultFolderName(otherTime), first);
  PayloadIdentity swapped = Sample();  // lengths are part of the hash: no shifting of text
  swapped.title = u"Corvalinthsetup.exe";
  swapped.installerName = u"";
  EXPECT_NE(DefaultFolderName(swapped), first);
}

TEST(ContentDigest, DependsOnEveryByteAndNotOnHowTheyArrive) {
  std::vector<uint8_t> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31);
  ContentDigest whole;
  whole.Add(bytes.data(), bytes.size());
  ContentDigest pieces;
  for (size_t at = 0; at < bytes.size(); at += 7)
    pieces.Add(bytes.data() + at, std::min<size_t>(7, bytes.size() - at));
  EXPECT_EQ(pieces.Value(), whole.Value());
  for (size_t flip : {0u, 500u, 999u}) {
    std::vector<uint8_t> changed = bytes;
    changed[flip] ^= 1;
    ContentDigest other;
    other.Add(changed.data(), changed.size());
    EXPECT_NE(other.Value(), whole.Value()) << flip;
  }
  ContentDigest longer;
  bytes.push_back(0);
  longer.Add(bytes.data(), bytes.size());
  EXPECT_NE(longer.Value(), whole.Value());
}

// Known answers: a publisher who rebuilds from the same inputs with a newer tool gets the same
// folder, and so the same file byte for byte. A change here changes every launcher file built
// without --folder; make it on purpose, and say so in the release notes.
TEST(DefaultFolderName, KeepsItsKnownAnswers) {
  EXPECT_EQ(Utf16ToUtf8(DefaultFolderName(Sample())), "{CA9E1D29-F830-5740-B899-754C83084190}");
  PayloadIdentity wide;
  wide.title = u"製品 \U0001F600";
  wide.installerName = u"セットアップ.exe";
  wide.packageName = u"製品.msi";
  wide.installerTime = 133536816001234567ull;
  wide.packageTime = 133536852000000000ull;
  wide.installerSize = 3001;
  wide.packageSize = 5000;
  wide.installerDigest = 0xFEDCBA9876543210ull;
  wide.packageDigest = 0x0123456789ABCDEFull;
  EXPECT_EQ(Utf16ToUtf8(DefaultFolderName(wide)), "{C0C2087E-5E94-5F22-BF2C-867D15778EA1}");

  struct Digest {
    size_t length;
    uint64_t value;
  } digests[] = {{0, 0x20BA20800E87FE20ull},  {1, 0xFDF297D0526A29D0ull},
                 {31, 0xBA832B648FC11E4Cull}, {32, 0xFF1FBFD6211D3C5Bull},
                 {33, 0x3AE4FDA8191E71F4ull}, {1000, 0x9E5CCF958986DF15ull}};
  for (const Digest& known : digests) {
    std::vector<uint8_t> bytes(known.length);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31);
    ContentDigest digest;
    digest.Add(bytes.data(), bytes.size());
    EXPECT_EQ(digest.Value(), known.value) << known.length << " bytes";
  }
}

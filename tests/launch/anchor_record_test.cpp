#include <gtest/gtest.h>

#include <vector>

#include "launch/anchor_record.h"

TEST(AnchorRecord, MagicsAreStoredLittleEndian) {
  std::vector<uint8_t> bytes(kAnchorRecordSize, 0);
  StoreU32(bytes.data(), kMagicHead);
  StoreU32(bytes.data() + 40, kMagicTail);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4),
            (std::vector<uint8_t>{0xBC, 0x66, 0xAA, 0x55}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 40, bytes.end()),
            (std::vector<uint8_t>{0xAB, 0x55, 0xBB, 0x66}));
  EXPECT_TRUE(HasAnchorMagics(bytes.data()));
}

TEST(AnchorRecord, OneMagicAloneOrReversedIsNoAnchor) {
  std::vector<uint8_t> bytes(kAnchorRecordSize, 0);
  StoreU32(bytes.data(), kMagicHead);
  EXPECT_FALSE(HasAnchorMagics(bytes.data()));
  StoreU32(bytes.data(), 0xBC66AA55);  // byte-reversed head
  StoreU32(bytes.data() + 40, kMagicTail);
  EXPECT_FALSE(HasAnchorMagics(bytes.data()));
}

TEST(AnchorRecord, EveryFieldDecodesFromItsOwnBytes) {
  std::vector<uint8_t> bytes(kAnchorRecordSize);
  for (int i = 0; i < kAnchorRecordSize; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  AnchorRecord r = DecodeAnchorRecord(bytes.data());
  EXPECT_EQ(r.magicHead, 0x04030201u);
  EXPECT_EQ(r.stubLength, 0x08070605u);
  EXPECT_EQ(r.installerTime, 0x100F0E0D0C0B0A09ull);
  EXPECT_EQ(r.packageTime, 0x1817161514131211ull);
  EXPECT_EQ(r.installerOffset, 0x1C1B1A19u);
  EXPECT_EQ(r.installerSize, 0x201F1E1Du);
  EXPECT_EQ(r.packageOffset, 0x24232221u);
  EXPECT_EQ(r.packageSize, 0x28272625u);
  EXPECT_EQ(r.magicTail, 0x2C2B2A29u);

  std::vector<uint8_t> again(kAnchorRecordSize, 0);
  EncodeAnchorRecord(r, again.data());
  EXPECT_EQ(again, bytes);
}

#include <gtest/gtest.h>

#include "pack/text/iso_time.h"

namespace {

constexpr uint64_t kUnixEpoch = 116444736000000000ull;  // 1970-01-01T00:00:00Z as a FILETIME

}  // namespace

TEST(ParseIsoTime, ReadsUtcAndZonedTimesToTheExactFiletime) {
  EXPECT_EQ(ParseIsoTime("1970-01-01T00:00:00Z"), kUnixEpoch);
  EXPECT_EQ(ParseIsoTime("1601-01-01T00:00:00Z"), 0u);
  EXPECT_EQ(ParseIsoTime("1970-01-01T09:00:00+09:00"), kUnixEpoch);
  EXPECT_EQ(ParseIsoTime("1969-12-31T19:00:00-0500"), kUnixEpoch);
  EXPECT_EQ(ParseIsoTime("1970-01-01 00:00:01z"), kUnixEpoch + 10000000);
  EXPECT_EQ(ParseIsoTime("1970-01-01T00:00:00.1234567Z"), kUnixEpoch + 1234567);
  EXPECT_EQ(ParseIsoTime("1970-01-01T00:00:00.5Z"), kUnixEpoch + 5000000);
  EXPECT_EQ(ParseIsoTime("2024-02-29T12:00:00Z"), 133536816000000000ull);
}

TEST(ParseIsoTime, RefusesTimesThatAreNotExactOrNotValid) {
  for (const char* text :
       {"2024-03-01T09:30:00",  // no zone: a different instant on every machine
        "2024-03-01", "2023-02-29T00:00:00Z", "2024-13-01T00:00:00Z", "2024-03-01T24:00:00Z",
        "2024-03-01T09:60:00Z", "1600-12-31T23:59:59Z", "1601-01-01T00:00:00+01:00",
        "2024-03-01T09:30:00.12345678Z", "2024-03-01T09:30:00.Z", "2024-03-01T09:30:00Zjunk",
        "24-03-01T09:30:00Z", "2024-03-01T09:30:00+25:00", "",
        "9999-12-31T23:59:59-01:00"})  // the year 10000 in UTC
    EXPECT_FALSE(ParseIsoTime(text)) << text;
}

TEST(FormatIsoTime, WritesUtcThatParsesBackToTheSameValue) {
  EXPECT_EQ(FormatIsoTime(kUnixEpoch), "1970-01-01T00:00:00Z");
  EXPECT_EQ(FormatIsoTime(0), "1601-01-01T00:00:00Z");
  EXPECT_EQ(FormatIsoTime(kUnixEpoch + 1234500), "1970-01-01T00:00:00.12345Z");
  EXPECT_EQ(FormatIsoTime(133536816000000000ull + 1), "2024-02-29T12:00:00.0000001Z");
  for (uint64_t value : {uint64_t{1}, kUnixEpoch - 1, uint64_t{133536816009999999ull},
                         uint64_t{2650467743999999999ull}})
    EXPECT_EQ(ParseIsoTime(FormatIsoTime(value)), value) << value;
  EXPECT_EQ(FormatIsoTime(2650467744000000000ull), "");  // year 10000
}

TEST(FiletimeFromUnix, KeepsHundredNanosecondSteps) {
  EXPECT_EQ(FiletimeFromUnix(0, 0), kUnixEpoch);
  EXPECT_EQ(FiletimeFromUnix(1, 123456789), kUnixEpoch + 10000000 + 1234567);
  EXPECT_EQ(FiletimeFromUnix(-11644473600, 0), 0u);
  EXPECT_FALSE(FiletimeFromUnix(-11644473601, 0));
}

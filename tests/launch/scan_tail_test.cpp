#include <gtest/gtest.h>

#include <vector>

#include "launch/scan_tail.h"
#include "launch/tail_window.h"
#include "tests/launch/test_text.h"
#include "tests/support/launcher_builder.h"
#include "tests/support/sample_files.h"

namespace {

const TrailerNames kNames = SampleNames();

AnchorRecord SampleRecord() { return MakeAnchorRecord(4096, 111, 222, 4096, 10, 4112, 20); }

// A buffer with the trailer (record + names) at `offset`, `length` bytes long in all.
std::vector<uint8_t> TailWithTrailer(size_t offset, size_t length,
                                     const TrailerNames& names = kNames) {
  std::vector<uint8_t> tail;
  PlaceBytes(tail, offset, EncodeTrailer(SampleRecord(), names));
  tail.resize(length, 0);
  return tail;
}

struct Scan {
  int32_t result;
  PayloadNames names;
  AnchorRecord record;
  int32_t firstMatch;  // where the search stopped, accepted or refused
};

Scan RunScan(const std::vector<uint8_t>& tail, int32_t windowStart, int32_t n = -1) {
  Scan scan;
  scan.record = AnchorRecord{};
  scan.record.stubLength = 0xDEADBEEF;  // a copy is made only of an accepted record
  if (n < 0) n = static_cast<int32_t>(tail.size());
  scan.result = ScanTail(tail.data(), n, windowStart, scan.names, scan.record, &scan.firstMatch);
  return scan;
}

}  // namespace

TEST(ScanTail, FindsTheRecordAtA128ByteBoundaryAndReadsTheFourNames) {
  Scan scan = RunScan(TailWithTrailer(384, 1000), 0);
  ASSERT_EQ(scan.result, 384);
  EXPECT_EQ(scan.firstMatch, 384);
  EXPECT_EQ(Text(scan.names.title), kNames.title);
  EXPECT_EQ(Text(scan.names.folderName), kNames.folderName);
  EXPECT_EQ(Text(scan.names.installerName), kNames.installerName);
  EXPECT_EQ(Text(scan.names.packageName), kNames.packageName);
  EXPECT_EQ(scan.record.stubLength, 4096u);
  EXPECT_EQ(scan.record.installerTime, 111u);
  EXPECT_EQ(scan.record.packageOffset, 4112u);
  EXPECT_EQ(scan.record.packageSize, 20u);
}

TEST(ScanTail, RecordsOffA128ByteBoundaryAreNotFound) {
  for (size_t offset : {1u, 64u, 127u, 200u}) {
    Scan scan = RunScan(TailWithTrailer(offset, 1000), 0);
    EXPECT_EQ(scan.result, kNoMatch) << offset;
    EXPECT_TRUE(scan.names.title.Empty());
    EXPECT_EQ(scan.record.stubLength, 0xDEADBEEF);
  }
}

TEST(ScanTail, BuffersShorterThanARecordHoldNoCandidate) {
  std::vector<uint8_t> tail = TailWithTrailer(0, 200);
  for (int32_t n : {0, 1, 43}) EXPECT_EQ(RunScan(tail, 128, n).result, kNoMatch) << n;
}

TEST(ScanTail, TheFirstMatchIsTakenEvenWhenItIsRefused) {
  std::vector<uint8_t> tail = TailWithTrailer(512, 1000);
  PlaceBytes(tail, 128, EncodeTrailer(SampleRecord(), TrailerNames{u"Early", u"", u"a", u"b"}));
  Scan scan = RunScan(tail, 0);
  EXPECT_EQ(scan.result, kRecordRefused);
  EXPECT_EQ(Text(scan.names.title), u"Early");  // the later, valid trailer was never read
  EXPECT_EQ(Text(scan.names.installerName), u"a");
  EXPECT_EQ(scan.record.stubLength, 0xDEADBEEF);
}

TEST(ScanTail, AnyEmptyNameRefusesTheRecordButTheNamesAreStored) {
  const TrailerNames cases[] = {{u"", u"f", u"i", u"p"},
                                {u"t", u"", u"i", u"p"},
                                {u"t", u"f", u"", u"p"},
                                {u"t", u"f", u"i", u""}};
  for (const TrailerNames& names : cases) {
    Scan scan = RunScan(TailWithTrailer(128, 400, names), 0);
    EXPECT_EQ(scan.result, kRecordRefused);
    EXPECT_EQ(Text(scan.names.title), names.title);
    EXPECT_EQ(Text(scan.names.folderName), names.folderName);
    EXPECT_EQ(Text(scan.names.installerName), names.installerName);
    EXPECT_EQ(Text(scan.names.packageName), names.packageName);
    EXPECT_EQ(scan.record.stubLength, 0xDEADBEEF);
  }
}

TEST(ScanTail, ARecordAtFileOffsetZeroIsRefusedButWindowOffsetZeroIsNot) {
  std::vector<uint8_t> tail = TailWithTrailer(0, 300);
  Scan atFileStart = RunScan(tail, 0);
  EXPECT_EQ(atFileStart.result, kRecordRefused);
  EXPECT_EQ(Text(atFileStart.names.title), kNames.title);
  EXPECT_EQ(RunScan(tail, 128).result, 0);
}

TEST(ScanTail, TheSmallestAcceptableTailHoldsTheRecordAndFourOneCharacterNames) {
  TrailerNames tiny{u"T", u"F", u"I", u"P"};
  std::vector<uint8_t> tail = TailWithTrailer(256, 256 + 60, tiny);
  Scan accepted = RunScan(tail, 0);
  ASSERT_EQ(accepted.result, 256);
  EXPECT_EQ(Text(accepted.names.title), u"T");  // a one-character title is a title
  EXPECT_EQ(Text(accepted.names.packageName), u"P");

  Scan oneShort = RunScan(tail, 0, 256 + 59);  // odd n: the last terminator is cut in half
  EXPECT_EQ(oneShort.result, kRecordRefused);
  EXPECT_EQ(Text(oneShort.names.installerName), u"I");
  EXPECT_TRUE(oneShort.names.packageName.Empty());

  tail.push_back(0x41);  // odd n with a stray byte after the names changes nothing
  EXPECT_EQ(RunScan(tail, 0).result, 256);
}

TEST(ScanTail, ARecordEndingExactlyAtTheEndIsFoundAndRefusedOneByteLaterIsNotTested) {
  std::vector<uint8_t> tail = TailWithTrailer(128, 400);
  Scan exact = RunScan(tail, 0, 128 + 44);
  EXPECT_EQ(exact.result, kRecordRefused);
  EXPECT_TRUE(exact.names.title.Empty());
  Scan cut = RunScan(tail, 0, 128 + 43);
  EXPECT_EQ(cut.result, kNoMatch);
  EXPECT_EQ(cut.firstMatch, kNoMatch);
}

TEST(ScanTail, AnUnterminatedLastNameReadsAsEmpty) {
  std::vector<uint8_t> trailer = EncodeTrailer(SampleRecord(), kNames);
  trailer.resize(trailer.size() - 2);  // drop the package name's terminator
  std::vector<uint8_t> tail;
  PlaceBytes(tail, 128, trailer);
  Scan scan = RunScan(tail, 0);
  EXPECT_EQ(scan.result, kRecordRefused);
  EXPECT_EQ(scan.firstMatch, 128) << "a refused record still tells where it stands";
  EXPECT_EQ(Text(scan.names.installerName), kNames.installerName);
  EXPECT_TRUE(scan.names.packageName.Empty());
}

TEST(ScanTail, NamesReplaceWhatTheSlotsHeld) {
  Scan scan;
  scan.names.title = Wide(u"old title");
  scan.names.packageName = Wide(u"old.msi");
  std::vector<uint8_t> tail = TailWithTrailer(128, 128 + 44 + 4);  // title "" then cut off
  scan.result =
      ScanTail(tail.data(), static_cast<int32_t>(tail.size()), 0, scan.names, scan.record);
  EXPECT_EQ(scan.result, kRecordRefused);
  EXPECT_TRUE(scan.names.title.Empty());
  EXPECT_TRUE(scan.names.packageName.Empty());
}

TEST(ScanTail, SurrogatesAndJapaneseTextPassThroughUnchanged) {
  TrailerNames names{u"製品 \xD83D\xDE00", u"{フォルダ}", u"セットアップ\xD800.exe",
                     u"\xDC00パッケージ.msi"};
  Scan scan = RunScan(TailWithTrailer(128, 600, names), 0);
  ASSERT_EQ(scan.result, 128);
  EXPECT_EQ(Text(scan.names.title), names.title);
  EXPECT_EQ(Text(scan.names.folderName), names.folderName);
  EXPECT_EQ(Text(scan.names.installerName), names.installerName);
  EXPECT_EQ(Text(scan.names.packageName), names.packageName);
}

TEST(ReadPackedString, AdvancesPastTheTerminatorAndReadsEmptyAfterTheEnd) {
  std::vector<uint8_t> bytes{'a', 0, 'b', 0, 0, 0, 0, 0, 'c', 0};
  int32_t pos = 0;
  EXPECT_EQ(Text(ReadPackedString(bytes.data(), 10, pos)), u"ab");
  EXPECT_EQ(pos, 6);
  EXPECT_EQ(Text(ReadPackedString(bytes.data(), 10, pos)), u"");
  EXPECT_EQ(pos, 8);
  EXPECT_EQ(Text(ReadPackedString(bytes.data(), 10, pos)), u"");  // "c" has no terminator
  EXPECT_GE(pos, 9);
  EXPECT_EQ(Text(ReadPackedString(bytes.data(), 10, pos)), u"");
}

TEST(ScanTail, DistributedLauncherFileNumbers) {
  // A 1,644,680-byte file whose record sits at 0x190100; the names end 125,118 bytes into the
  // 130,952-byte window and a certificate table fills the rest.
  const int32_t fileLength = 1644680;
  const uint32_t recordAt = 0x190100;
  TrailerNames names{u"Corvalinth", u"{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}", u"setup.exe",
                     u"Corvalin.msi"};
  std::vector<uint8_t> file(fileLength, 0);
  std::vector<uint8_t> trailer = EncodeTrailer(SampleRecord(), names);
  std::copy(trailer.begin(), trailer.end(), file.begin() + recordAt);
  for (size_t i = recordAt + trailer.size(); i < file.size(); ++i) file[i] = 0x30;

  int32_t w = WindowStart(fileLength);
  ASSERT_EQ(w, 1513728);
  Scan scan = RunScan(std::vector<uint8_t>(file.begin() + w, file.end()), w);
  EXPECT_EQ(scan.result, 124928);
  EXPECT_EQ(w + scan.result, static_cast<int32_t>(recordAt));
  EXPECT_EQ(124928 + static_cast<int32_t>(trailer.size()), 125118);
  EXPECT_EQ(Text(scan.names.packageName), u"Corvalin.msi");
}

namespace {

// Searches the tail of a whole file as the launcher does, bounded by a certificate table at file
// offset `tableOffset` (0: none).
Scan ScanFile(const std::vector<uint8_t>& file, uint32_t tableOffset) {
  int32_t length = static_cast<int32_t>(file.size());
  int32_t w = WindowStart(length);
  std::vector<uint8_t> tail(file.begin() + w, file.end());
  return RunScan(tail, w, SearchedLength(length - w, w, length, tableOffset));
}

// A 300,000-byte file with an honest trailer at 0x30000 whose names end 194 bytes after it: the
// signed layout puts the certificate table at the next multiple of 8.
constexpr uint32_t kRecordAt = 0x30000;
constexpr uint32_t kNamesEnd = kRecordAt + 44 + 2 * (10 + 38 + 9 + 14 + 4);
std::vector<uint8_t> SignedFile() {
  std::vector<uint8_t> file(300000, 0x30);
  PlaceBytes(file, kRecordAt, EncodeTrailer(SampleRecord(), kNames));
  return file;
}

}  // namespace

TEST(CertificateTableBound, AnHonestSignedFileIsFoundAsWithoutTheBound) {
  std::vector<uint8_t> file = SignedFile();
  uint32_t tableAt = (kNamesEnd + 7) & ~7u;
  EXPECT_EQ(ScanFile(file, tableAt).result, ScanFile(file, 0).result);
  ASSERT_GE(ScanFile(file, tableAt).result, 0);
  // The names may end exactly where the table begins.
  Scan touching = ScanFile(file, kNamesEnd);
  ASSERT_GE(touching.result, 0);
  EXPECT_EQ(Text(touching.names.packageName), kNames.packageName);
}

TEST(CertificateTableBound, NoByteOfTheRecordOrItsNamesMayLieInsideTheTable) {
  std::vector<uint8_t> file = SignedFile();
  // The package name's terminator is the table's first two bytes: the name is unterminated.
  Scan cut = ScanFile(file, kNamesEnd - 1);
  EXPECT_EQ(cut.result, kRecordRefused);
  EXPECT_EQ(Text(cut.names.installerName), kNames.installerName);
  EXPECT_TRUE(cut.names.packageName.Empty());
  // The record's own last byte inside the table: the position is not even tested.
  EXPECT_EQ(ScanFile(file, kRecordAt + 43).result, kNoMatch);
  EXPECT_EQ(ScanFile(file, kRecordAt).result, kNoMatch);
}

TEST(CertificateTableBound, AForgedTrailerInsideTheTableIsNeverFound) {
  // The table begins before the window: a trailer placed in the table's last 128 KiB, with the
  // honest one pushed out of the window, is not searched at all.
  std::vector<uint8_t> file = SignedFile();
  file.resize(600000, 0);
  PlaceBytes(file, 590080, EncodeTrailer(SampleRecord(), kNames));
  ASSERT_GE(ScanFile(file, 0).result, 0) << "the forgery would be found without the bound";
  EXPECT_EQ(SearchedLength(131072, WindowStart(600000), 600000, kNamesEnd), 0);
  EXPECT_EQ(ScanFile(file, kNamesEnd).result, kNoMatch);
  // A table that starts inside the window leaves only the bytes before it.
  const int32_t w = WindowStart(600000);
  EXPECT_EQ(SearchedLength(600000 - w, w, 600000, 590080), 590080 - w);
  EXPECT_EQ(ScanFile(file, 590080).result, kNoMatch);
}

TEST(CertificateTableBound, AnOffsetOfZeroOrAtOrPastTheEndNamesNoTable) {
  std::vector<uint8_t> file = SignedFile();
  const int32_t length = 300000;
  const int32_t w = WindowStart(length);
  for (uint32_t offset : {0u, 300000u, 300001u, 0xFFFFFFFFu}) {
    EXPECT_EQ(SearchedLength(length - w, w, length, offset), length - w) << offset;
    EXPECT_GE(ScanFile(file, offset).result, 0) << offset;
  }
  // A short read stays as short as it was.
  EXPECT_EQ(SearchedLength(100, w, length, 299999), 100);
}

// Launcher files whose trailer was made by hand to mislead: records that point past 4 GiB or past
// the end of the file, names that never end, two records, magic values where no trailer is, a
// record where the search does not look, a trailer hidden in a signed file's certificate table.
// Each run ends with one box or a clean install of exactly what the first valid record names, and
// nothing is read from anywhere the record does not say.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>

#include "launch/messages.h"
#include "launch/scan_tail.h"
#include "launch/tail_window.h"
#include "tests/e2e/installer_report.h"
#include "tests/e2e/launcher_case.h"
#include "tests/e2e/launcher_files.h"
#include "tests/e2e/machine.h"
#include "tests/e2e/test_folder.h"
#include "tests/e2e/unix_command.h"
#include "tests/e2e/windows_arrangements.h"
#include "tests/support/certificate_forgery.h"

class HostileTrailer : public LauncherCase {
 protected:
  // Refused before anything was written: the box, and an empty temporary folder.
  void ExpectRefused(const std::vector<uint8_t>& file, const std::wstring& caption) {
    ExpectOnlyBox(SaveLauncherFile(file), ErrorBox(caption, Wide(kNoAnchor)));
    EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
  }

  static LauncherLayout LayoutOf(const LauncherContents& contents) {
    return DistributedLayout(contents.stub.size(), contents.installer.size(),
                             contents.package.size(),
                             kAnchorRecordSize + EncodeNamesBlock(contents.names).size());
  }

  // The record BuildLauncher writes for these contents.
  static AnchorRecord RecordOf(const LauncherContents& contents) {
    LauncherLayout layout = LayoutOf(contents);
    return MakeAnchorRecord(static_cast<uint32_t>(contents.stub.size()), contents.installerTime,
                            contents.packageTime, static_cast<uint32_t>(layout.installerOffset),
                            static_cast<uint32_t>(contents.installer.size()),
                            static_cast<uint32_t>(layout.packageOffset),
                            static_cast<uint32_t>(contents.package.size()));
  }

  // Puts `bytes` into the package so that they land at file offset `offset`; the package stays
  // what the installer must find, so a launcher that took anything else is seen.
  static void PlaceInPackage(LauncherContents& contents, uint64_t offset,
                             const std::vector<uint8_t>& bytes) {
    uint64_t start = LayoutOf(contents).packageOffset;
    ASSERT_GE(offset, start);
    ASSERT_LE(offset + bytes.size(), start + contents.package.size());
    PlaceBytes(contents.package, offset - start, bytes);
  }

  // Another product's names: where a launcher that took the wrong record would put its files.
  static TrailerNames DecoyNames() {
    TrailerNames names;
    names.title = u"Decoy Setup";
    names.folderName = u"{DEC0DEC0-0000-4000-8000-00000000DEC0}";
    names.installerName = u"decoy.exe";
    names.packageName = u"decoy.msi";
    return names;
  }
};

// Offsets and sizes past the end: the read message, and only what the record rightly names is
// in the target.

// 0xFFFFFF00 + 0x200 is 0x100 in 32 bits: a range that wraps to the start of the file. For the
// package, the file holds the package right after the installer: a launcher that did not move to
// the record's offset before reading would copy its first 0x200 bytes and start the installer.
class WrappingRange : public EachPayloadFile {};

TEST_P(WrappingRange, PastFourGibibytesShowsTheReadMessageAndReadsNothing) {
  LauncherContents contents = UsualContents();
  const bool installer = GetParam() == PayloadFile::kInstaller;
  std::vector<uint8_t> file = BuildLauncher(contents, [installer](AnchorRecord& record) {
    (installer ? record.installerOffset : record.packageOffset) = 0xFFFFFF00;
    (installer ? record.installerSize : record.packageSize) = 0x200;
  });

  ExpectOnlyBox(SaveLauncherFile(file), ErrorBox(L"Corvalinth", Wide(kInstallFileNotRead)));

  std::wstring folder = ExtractionFolder(contents);
  ExpectWrittenUpTo(folder, contents);
  EXPECT_EQ(ReadBytes(PathIn(folder, FileName(GetParam()))), std::vector<uint8_t>());
}

INSTANTIATE_TEST_SUITE_P(Files, WrappingRange,
                         testing::Values(PayloadFile::kInstaller, PayloadFile::kPackage),
                         PayloadFileLabel);

TEST_F(HostileTrailer, LargestInstallerSizeShowsTheReadMessageWithoutWritingAnything) {
  LauncherContents contents = UsualContents();
  // 4 GiB - 1 bytes from the installer's true start: the first 1 MiB piece already comes up short.
  std::vector<uint8_t> file =
      BuildLauncher(contents, [](AnchorRecord& record) { record.installerSize = 0xFFFFFFFF; });
  ASSERT_LT(file.size(), 1048576u);

  ExpectOnlyBox(SaveLauncherFile(file), ErrorBox(L"Corvalinth", Wide(kInstallFileNotRead)));

  std::wstring folder = ExtractionFolder(contents);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::wstring>{L"setup.exe"});
  EXPECT_EQ(ReadBytes(PathIn(folder, L"setup.exe")), std::vector<uint8_t>());
}

// Names that never end: the last name reads as empty and the trailer is refused, captioned with
// the title that was read.

TEST_F(HostileTrailer, LastNameRunningToTheEndOfTheFileIsRefusedCaptionedWithTheTitle) {
  std::vector<uint8_t> file = BuildLauncher(UsualContents());
  file.resize(file.size() - 2);  // the package name's terminator
  ExpectRefused(file, L"Corvalinth");
}

TEST_F(HostileTrailer, LastNameEndingInHalfATerminatorIsRefusedCaptionedWithTheTitle) {
  std::vector<uint8_t> file = BuildLauncher(UsualContents());
  file.resize(file.size() - 1);  // one byte of the terminator left: no whole zero unit
  ExpectRefused(file, L"Corvalinth");
}

// Two trailers: the one at the lower offset is taken, whatever follows it.

TEST_F(HostileTrailer, SameRecordTwiceInstallsWithTheNamesAfterTheFirst) {
  LauncherContents contents = UsualContents();
  std::vector<uint8_t> file = BuildLauncher(contents);
  // The same record again at the next 128-byte boundary, followed by another product's names.
  PlaceBytes(file, NextMultiple(file.size(), kAnchorAlignment),
             EncodeTrailer(RecordOf(contents), DecoyNames()));

  ExpectCleanInstall(Run(SaveLauncherFile(file)), contents);
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

TEST_F(HostileTrailer, FalseAnchorWithEmptyNamesBeforeTheRealOneIsTakenAndRefused) {
  LauncherContents contents = UsualContents();
  // Inside the package, at its first 128-byte boundary: both magics, nothing else, and four empty
  // names after them. The real trailer, with its title, follows the package.
  uint64_t falseAnchor = NextMultiple(LayoutOf(contents).packageOffset, kAnchorAlignment);
  AnchorRecord empty = {};
  empty.magicHead = kMagicHead;
  empty.magicTail = kMagicTail;
  std::vector<uint8_t> bytes(kAnchorRecordSize + 8, 0);
  EncodeAnchorRecord(empty, bytes.data());
  PlaceInPackage(contents, falseAnchor, bytes);
  std::vector<uint8_t> file = BuildLauncher(contents);
  ASSERT_GE(falseAnchor, static_cast<uint64_t>(WindowStart(static_cast<int32_t>(file.size()))));

  // An empty caption: the real trailer's title was never read.
  ExpectRefused(file, L"");
}

// The window's edge: a trailer just before the window is never seen, one at its first position is.

class WindowEdge : public HostileTrailer {
 protected:
  // A launcher file of the usual contents with a package large enough that the window starts
  // inside it, and a complete second trailer under other names placed in the package at
  // `windowStart + shift`. Returns the file; `contents` holds what it was built from.
  std::vector<uint8_t> WithDecoyTrailerAt(int64_t shift, LauncherContents& contents) {
    contents = UsualContents(300000);
    LauncherLayout layout = LayoutOf(contents);
    int32_t windowStart = WindowStart(static_cast<int32_t>(layout.fileLength));
    EXPECT_GT(static_cast<uint64_t>(windowStart), layout.packageOffset + 128);
    PlaceInPackage(contents, static_cast<uint64_t>(windowStart + shift),
                   EncodeTrailer(RecordOf(contents), DecoyNames()));
    return BuildLauncher(contents);
  }
};

TEST_F(WindowEdge, TrailerJustBeforeTheWindowIsNeverSeenAndTheRealOneIsUsed) {
  LauncherContents contents;
  std::vector<uint8_t> file = WithDecoyTrailerAt(-kAnchorAlignment, contents);

  ExpectCleanInstall(Run(SaveLauncherFile(file)), contents);
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

TEST_F(WindowEdge, TrailerAtTheWindowsFirstPositionIsTakenBeforeTheRealOne) {
  LauncherContents contents;
  std::vector<uint8_t> file = WithDecoyTrailerAt(0, contents);
  LauncherContents decoy = contents;
  decoy.names = DecoyNames();

  ExpectCleanInstall(Run(SaveLauncherFile(file)), decoy);
  EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
}

// A record where the search does not look.

TEST_F(HostileTrailer, RecordOffTheAlignmentIsNotFound) {
  LauncherContents contents = UsualContents();
  std::vector<uint8_t> aligned = BuildLauncher(contents);
  uint64_t trailerOffset = LayoutOf(contents).trailerOffset;
  std::vector<uint8_t> trailer(aligned.begin() + static_cast<std::ptrdiff_t>(trailerOffset),
                               aligned.end());
  for (uint64_t shift : {4u, 64u}) {
    SCOPED_TRACE(testing::Message() << "the trailer " << shift << " bytes after a boundary");
    std::vector<uint8_t> file(aligned.begin(),
                              aligned.begin() + static_cast<std::ptrdiff_t>(trailerOffset));
    PlaceBytes(file, trailerOffset + shift, trailer);
    ExpectRefused(file, L"");
  }
}

// A second trailer hidden in a signed launcher file's certificate table, which the signature's hash
// leaves out: the signature still verifies, but the launcher searches only up to the table.

class SignedLauncher : public HostileTrailer {
 protected:
  // The launcher file of the usual contents that the build signed (signed-launcher.exe), copied
  // into the case folder as signed.exe; its bytes.
  std::vector<uint8_t> SignedFile() {
    std::vector<uint8_t> file = ReadBytes(SignedLauncherPath());
    if (file.empty()) ADD_FAILURE() << "the signed launcher file cannot be read";
    SaveLauncherFile(file, L"signed.exe");
    return file;
  }

  // What the verifier says of the file `name` in the case folder: osslsigncode against the test
  // publisher's certificate where Linux commands run, otherwise WinVerifyTrust (which on Windows
  // does not trust the test root, and under Wine trusts any root).
  enum class Verdict { kValid, kChanged, kOther };
  Verdict VerifiedSignature(const std::wstring& name, std::string* said) {
    Choice choice = ChooseWay(Arrangement::kSignatureCheck, Machine());
    if (choice.way == Way::kLinux) {
      CopyFileW(TestCertificatePath().c_str(), PathIn(caseFolder_, L"cert.pem").c_str(), FALSE);
      *said = OsslsigncodeVerify(caseFolder_, name);
      if (said->find("Signature verification: ok") != std::string::npos &&
          said->find("\nexit 0") != std::string::npos) {
        return Verdict::kValid;
      }
      return said->find("MISMATCH") != std::string::npos ? Verdict::kChanged : Verdict::kOther;
    }
    LONG verdict = VerifyEmbeddedSignature(PathIn(caseFolder_, name));
    std::ostringstream text;
    text << "WinVerifyTrust: 0x" << std::hex << static_cast<unsigned long>(verdict);
    *said = text.str();
    // An intact signature whose certificate chains to no root this machine trusts is as valid as
    // a file signed with the test publisher's throw-away certificate can be.
    if (verdict == ERROR_SUCCESS || verdict == CERT_E_UNTRUSTEDROOT || verdict == CERT_E_CHAINING) {
      return Verdict::kValid;
    }
    return verdict == TRUST_E_BAD_DIGEST ? Verdict::kChanged : Verdict::kOther;
  }

  void ExpectValidSignature(const std::wstring& name) {
    std::string said;
    EXPECT_EQ(VerifiedSignature(name, &said), Verdict::kValid) << said;
  }

  // A search of the whole window, as before the table bounded it, takes the decoy trailer.
  static void ExpectUnboundedSearchTakesTheDecoy(const std::vector<uint8_t>& file) {
    int32_t length = static_cast<int32_t>(file.size());
    int32_t windowStart = WindowStart(length);
    PayloadNames names;
    AnchorRecord record;
    EXPECT_GE(ScanTail(file.data() + windowStart, length - windowStart, windowStart, names, record),
              0);
    EXPECT_EQ(std::u16string(names.folderName.Data(), names.folderName.Length()),
              DecoyNames().folderName);
  }
};

TEST_F(SignedLauncher, HonestSignedFileInstalls) {
  LauncherContents contents = UsualContents();
  std::vector<uint8_t> signedFile = SignedFile();
  ASSERT_FALSE(signedFile.empty());
  ExpectValidSignature(L"signed.exe");
  // The verifier does look at the bytes: one changed in the package breaks the signature.
  signedFile[LayoutOf(contents).packageOffset] ^= 0xFF;
  SaveLauncherFile(signedFile, L"changed.exe");
  std::string said;
  EXPECT_EQ(VerifiedSignature(L"changed.exe", &said), Verdict::kChanged) << said;

  ExpectCleanInstall(Run(PathIn(caseFolder_, L"signed.exe")), contents);
}

TEST_F(SignedLauncher, TrailerForgedInsideTheCertificateTableIsNeverTaken) {
  LauncherContents contents = UsualContents();
  std::vector<uint8_t> signedFile = SignedFile();
  ASSERT_FALSE(signedFile.empty());
  LauncherContents decoy = contents;
  decoy.names = DecoyNames();
  decoy.package = PatternBytes(7000, 2);

  for (Forgery forgery : {Forgery::kPaddingAfterTheSignature, Forgery::kUnsignedAttribute}) {
    bool padding = forgery == Forgery::kPaddingAfterTheSignature;
    SCOPED_TRACE(padding ? "padding after the signature" : "an unsigned attribute");
    std::string problem;
    std::vector<uint8_t> file = ForgeInCertificateTable(signedFile, decoy, forgery, &problem);
    ASSERT_FALSE(file.empty()) << problem;
    ExpectUnboundedSearchTakesTheDecoy(file);
    std::wstring name = padding ? L"forged-padding.exe" : L"forged-attribute.exe";
    std::wstring launcher = SaveLauncherFile(file, name);
    ExpectValidSignature(name);

    // The real trailer lies outside the window and the decoy inside the table: no trailer at all.
    ExpectOnlyBox(launcher, ErrorBox(L"", Wide(kNoAnchor)));
    EXPECT_EQ(FolderEntries(tempFolder_), std::vector<std::wstring>());
  }
}

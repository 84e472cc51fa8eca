// vossimere-pack verify on purpose-made launcher files: a sound file passes, and each broken
// rule, made by one mutation of a sound file (its checksum set again where the rule is not the
// checksum), is reported on its own line with exit code 1.
#include <filesystem>

#include "launch/anchor_record.h"
#include "pack/format/crypto.h"
#include "pack/format/msi_signed_content.h"
#include "tests/pack/cli/pack_tool_fixture.h"
#include "tests/support/authenticode_builder.h"
#include "tests/support/compound_file_builder.h"
#include "tests/support/synthetic_image.h"

namespace {

// Offsets in GoodLauncher(SampleContents()): stub 0x600 bytes, installer 3001 bytes at 1536,
// package 5000 bytes at 4544, trailer at 9600.
constexpr uint32_t kPackageAt = 4544;
constexpr uint32_t kTrailerAt = 9600;

std::vector<uint8_t> Sound() { return GoodLauncher(SampleContents()); }

std::vector<uint8_t> WithRecordField(int field, uint32_t value) {
  std::vector<uint8_t> file = Sound();
  StoreU32(&file[kTrailerAt + field], value);
  SetChecksum(file);
  return file;
}

}  // namespace

class VerifyTest : public PackToolTest {
 protected:
  // The lines verify prints for `file` on the standard error, with the file name and ": " taken
  // off; a failing verify prints nothing on the standard output.
  std::vector<std::string> Broken(const std::vector<uint8_t>& file, int expectedCode = 1) {
    WriteFile("launcher.exe", file);
    ToolRun run = Run({"verify", PathOf("launcher.exe")});
    EXPECT_EQ(run.code, expectedCode) << run.err;
    if (expectedCode != 0) {
      EXPECT_EQ(run.out, "");
    }
    std::vector<std::string> lines;
    std::string prefix = PathOf("launcher.exe") + ": ";
    for (size_t at = 0; at < run.err.size();) {
      size_t end = run.err.find('\n', at);
      std::string line = run.err.substr(at, end - at);
      EXPECT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
      lines.push_back(line.substr(prefix.size()));
      at = end + 1;
    }
    return lines;
  }

  static std::vector<std::string> Rules(const std::vector<std::string>& lines) {
    std::vector<std::string> rules;
    for (const std::string& line : lines) rules.push_back(line.substr(0, line.find(':')));
    return rules;
  }
};

TEST_F(VerifyTest, ASoundFilePassesAndReportsItsRoom) {
  WriteFile("launcher.exe", Sound());
  ToolRun run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // The trailer is 44 + 2 * (11 + 39 + 10 + 15) = 194 bytes.
  // Then whether the embedded files are signed: the sample's are patterned bytes.
  EXPECT_EQ(run.out,
            PathOf("launcher.exe") +
                ": every rule holds; not signed; 130878 bytes of the 128 KiB window left\n"
                "  installer setup.exe: not known (no Windows program's headers to read)\n"
                "  package Corvalinth.msi: not known (not a compound file whose directory can be "
                "read)\n");
}

TEST_F(VerifyTest, ReportsEachBrokenLayoutRuleOnItsOwn) {
  using Rules_ = std::vector<std::string>;
  EXPECT_EQ(Rules(Broken(WithRecordField(kStubLengthAt, 0x601))), Rules_{"stub-length"});

  std::vector<uint8_t> gap = Sound();
  gap[kPackageAt - 1] = 1;
  SetChecksum(gap);
  EXPECT_EQ(Broken(gap),
            Rules_{"gap: byte 4543 between the installer and the package is not zero"});

  std::vector<uint8_t> trailerGap = Sound();
  trailerGap[kTrailerAt - 1] = 1;
  SetChecksum(trailerGap);
  EXPECT_EQ(Broken(trailerGap),
            Rules_{"gap: byte 9599 between the package and the trailer is not zero"});

  std::vector<uint8_t> checksum = Sound();
  checksum[kSyntheticChecksumField] ^= 1;
  EXPECT_EQ(Rules(Broken(checksum)), Rules_{"checksum"});

  // The installer built in the launcher's place: a program, but not the launcher.
  LauncherContents swapped = SampleContents();
  SyntheticImageOptions installer;
  installer.windowTitle = u"Setup";
  swapped.stub = SyntheticImage(installer);
  EXPECT_EQ(
      Broken(GoodLauncher(swapped)),
      Rules_{"launcher: the image is not the Vossimere launcher: its string 103 is \"Setup\", "
             "not the launcher's \"Vossimere\""});
  // The string the image holds instead is shown escaped: a file cannot send control sequences.
  installer.windowTitle = std::u16string(u"Set\x1b[2J\0up", 10);
  swapped.stub = SyntheticImage(installer);
  EXPECT_EQ(Broken(GoodLauncher(swapped)),
            Rules_{"launcher: the image is not the Vossimere launcher: its string 103 is "
                   "\"Set\\u001b[2J\\u0000up\", not the launcher's \"Vossimere\""});

  // Zeros to the next multiple of 8 (what removing a signature leaves) are fine; more are not.
  std::vector<uint8_t> padded = Sound();
  padded.resize(9800, 0);
  SetChecksum(padded);
  EXPECT_EQ(Broken(padded, 0), Rules_{});
  std::vector<uint8_t> tail = Sound();
  tail.resize(9802, 0);
  SetChecksum(tail);
  EXPECT_EQ(Broken(tail), Rules_{"after-names: 8 bytes follow the names block, and no certificate "
                                 "table is declared"});
  std::vector<uint8_t> junk = Sound();
  junk.push_back(7);
  SetChecksum(junk);
  EXPECT_EQ(Rules(Broken(junk)), Rules_{"after-names"});
}

TEST_F(VerifyTest, ReportsNamesThatWouldLeaveTheExtractionFolder) {
  using Rules_ = std::vector<std::string>;
  LauncherContents contents = SampleContents();
  contents.names.folderName = u"..";
  contents.names.installerName = u"..\\setup.exe";
  contents.names.packageName = u"NUL";
  std::vector<std::string> lines = Broken(GoodLauncher(contents));
  ASSERT_EQ(Rules(lines), (Rules_{"names", "names", "names"}));
  EXPECT_NE(lines[0].find("folderName \"..\""), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("installerName \"..\\setup.exe\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("packageName \"NUL\""), std::string::npos) << lines[2];

  contents = SampleContents();
  contents.names.packageName = u"SETUP.exe";
  contents.names.installerName = u"setup.EXE";
  EXPECT_EQ(Broken(GoodLauncher(contents)),
            Rules_{"names: installerName and packageName are the same file name; the package "
                   "would overwrite the installer"});
}

TEST_F(VerifyTest, ReportsMisplacedEmbeddedFiles) {
  using Rules_ = std::vector<std::string>;
  // The package 16 bytes further on: still ending before the trailer's boundary.
  EXPECT_EQ(Rules(Broken(WithRecordField(kPackageOffsetAt, kPackageAt + 16))),
            Rules_{"package-offset"});
  EXPECT_EQ(Rules(Broken(WithRecordField(kPackageSizeAt, 5000 + 128))), (Rules_{"trailer-offset"}));
  EXPECT_EQ(Rules(Broken(WithRecordField(kInstallerOffsetAt, 0x200))),
            (Rules_{"stub-length", "installer-offset", "package-offset"}));
  EXPECT_EQ(Rules(Broken(WithRecordField(kPackageSizeAt, 1u << 30))),
            (Rules_{"package-range", "trailer-offset"}));
  EXPECT_EQ(Rules(Broken(WithRecordField(kInstallerSizeAt, 0xFFFFFFFF))),
            (Rules_{"installer-range", "package-offset"}));
}

TEST_F(VerifyTest, RefusesWhatTheLauncherSearchRefuses) {
  using Rules_ = std::vector<std::string>;
  EXPECT_EQ(Rules(Broken(WithRecordField(kMagicTailAt, 0x66BB55AC))), Rules_{"anchor"});

  LauncherContents emptyName = SampleContents();
  emptyName.names.packageName = u"";
  std::vector<std::string> lines = Broken(GoodLauncher(emptyName));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].compare(0, 25, "names: packageName of the"), 0) << lines[0];
  // The refused trailer's names were never checked as names, nor its title as a caption: --json
  // says so, from the rules that ran.
  WriteFile("refused.exe", GoodLauncher(emptyName));
  ToolRun json = Run({"verify", "--json", PathOf("refused.exe")});
  EXPECT_EQ(json.code, 1);
  for (const char* part :
       {"{\"rule\":\"title\",\"result\":\"not-checked\",\"messages\":[]}",
        "{\"rule\":\"names\",\"result\":\"broken\",", "{\"rule\":\"anchor\",\"result\":\"holds\",",
        "{\"rule\":\"stub-length\",\"result\":\"not-checked\","})
    EXPECT_NE(json.out.find(part), std::string::npos) << part << "\n" << json.out;

  // A record at offset 0 is never taken: a bare trailer as the whole file.
  std::vector<uint8_t> bare = EncodeTrailer(MakeAnchorRecord(0, 0, 0, 0, 0, 0, 0), SampleNames());
  EXPECT_EQ(Rules(Broken(bare)), (Rules_{"image", "anchor"}));

  // The launcher reads its own length as a signed 32-bit value.
  WriteFile("launcher.exe", Sound());
  std::filesystem::resize_file(folder_ / "launcher.exe", 0x80000000ull);
  ToolRun run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(": length: the file is 2147483648 bytes"), std::string::npos) << run.err;
}

TEST_F(VerifyTest, ReportsMagicValuesTheLauncherWouldTakeBeforeTheTrailer) {
  // A copy of the two magics with four one-letter names after it, on the 128-byte boundary 4608
  // inside the package: the launcher would take it, and verify says so.
  LauncherContents contents = SampleContents();
  std::vector<uint8_t> fake =
      EncodeTrailer(MakeAnchorRecord(1, 2, 3, 4, 5, 6, 7), TrailerNames{u"A", u"B", u"C", u"D"});
  std::copy(fake.begin(), fake.end(), contents.package.begin() + (4608 - kPackageAt));
  std::vector<std::string> lines = Broken(GoodLauncher(contents));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "false-anchor: the magic values at byte 4608 come before the trailer at "
                      "byte 9600; the launcher takes the first");
}

TEST_F(VerifyTest, ChecksTheCertificateTableOfASignedFile) {
  using Rules_ = std::vector<std::string>;
  const uint32_t entry = kSyntheticCertificateEntry;
  std::vector<uint8_t> file = Sound();
  const uint32_t namesEnd = static_cast<uint32_t>(file.size());  // 9794: padded to 9800
  // A table of `size` bytes at `at` whose one entry says it is `firstLength` bytes long and holds
  // a 56-byte signature.
  auto sign = [&](uint32_t at, uint32_t size, uint32_t firstLength) {
    std::vector<uint8_t> signedFile = file;
    signedFile.resize(at + size, 0);
    StoreU32(&signedFile[at], firstLength);
    StoreU32(&signedFile[at + 4], 0x00020200);  // revision 0x0200, type PKCS #7
    std::vector<uint8_t> signature = StandInSignature(56);
    std::copy(signature.begin(), signature.end(), signedFile.begin() + at + 8);
    StoreU32(&signedFile[entry], at);
    StoreU32(&signedFile[entry + 4], size);
    SetChecksum(signedFile);
    return signedFile;
  };
  WriteFile("launcher.exe", sign(9800, 64, 64));
  ToolRun run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("certificate table at byte 9800, 64 bytes; 130808 bytes"),
            std::string::npos)
      << run.out;

  EXPECT_EQ(Rules(Broken(sign(9808, 64, 64))), Rules_{"certificate"});
  EXPECT_EQ(Broken(sign(9800, 64, 72)),
            Rules_{"certificate-table-length: the WIN_CERTIFICATE entry at byte 9800 gives its "
                   "length as 72, which does not fit the certificate table's 64 bytes"});
  std::vector<uint8_t> padding = sign(9800, 64, 64);
  padding[namesEnd] = 1;
  SetChecksum(padding);
  EXPECT_EQ(Broken(padding),
            Rules_{"gap: byte 9794 between the names and the certificate table is not zero"});
  // A table declared beyond the end of the file: reported, not read.
  std::vector<uint8_t> pastTheEnd = file;
  StoreU32(&pastTheEnd[entry], 9800);
  StoreU32(&pastTheEnd[entry + 4], 64);
  SetChecksum(pastTheEnd);
  EXPECT_EQ(Broken(pastTheEnd),
            Rules_{"certificate: the certificate table at byte 9800 lies beyond "
                   "the end of the file (9794)"});
  // A table declared where the file ends: none of it is there.
  std::vector<uint8_t> atTheEnd = file;
  atTheEnd.resize(9800, 0);
  StoreU32(&atTheEnd[entry], 9800);
  StoreU32(&atTheEnd[entry + 4], 64);
  SetChecksum(atTheEnd);
  EXPECT_EQ(Broken(atTheEnd),
            (Rules_{"certificate-table-entries: the certificate table's 0 bytes hold no whole "
                    "WIN_CERTIFICATE entry",
                    "certificate-table-end: the certificate table (9800 + 64) runs past the end of "
                    "the file (9800)"}));
  std::vector<uint8_t> overhang = sign(9800, 64, 64);
  overhang.push_back(0);
  overhang.push_back(0);
  SetChecksum(overhang);
  EXPECT_EQ(Broken(overhang), Rules_{"certificate-table-end: 2 bytes follow the certificate table, "
                                     "which must close the file"});
}

TEST_F(VerifyTest, ChecksTheOneSignatureInsideTheCertificateTable) {
  using Rules_ = std::vector<std::string>;
  // A 53-byte signature: 3 zero bytes align the entry. Its length may count them or not.
  std::vector<uint8_t> file = Sound();
  AppendCertificateTable(file, StandInSignature(53));
  const size_t at = 9800;
  EXPECT_EQ(Broken(file, 0), Rules_{});
  auto changed = [&](size_t offset, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> copy = file;
    std::copy(bytes.begin(), bytes.end(), copy.begin() + offset);
    SetChecksum(copy);
    return copy;
  };
  EXPECT_EQ(Broken(changed(at, {61}), 0), Rules_{});
  // An entry shorter than the signature it holds.
  EXPECT_EQ(Rules(Broken(changed(at, {60}))), Rules_{"certificate-table-signature"});
  EXPECT_EQ(Broken(changed(at + 4, {0x00, 0x01, 0x01})),
            Rules_{"certificate-table-type: the WIN_CERTIFICATE entry at byte 9800 has revision "
                   "0x0100 and type 0x0001, not revision 0x0200 and type 0x0002 (PKCS #7)"});
  EXPECT_EQ(Broken(changed(at + 8, {0x31})),
            Rules_{"certificate-table-signature: the WIN_CERTIFICATE entry at byte 9800 holds no "
                   "DER-encoded PKCS #7 SignedData that fits its 64 bytes"});
  EXPECT_EQ(
      Broken(changed(at + 8 + 53 + 1, {7})),
      Rules_{"certificate-table-padding: the 3 bytes of alignment after the signature are not "
             "all zero"});

  // A second entry after the first: the signature no longer ends the table.
  std::vector<uint8_t> twice = file;
  std::vector<uint8_t> second = changed(at, {16});
  twice.insert(twice.end(), second.begin() + at, second.begin() + at + 16);
  StoreU32(&twice[kSyntheticCertificateEntry + 4], 64 + 16);
  SetChecksum(twice);
  std::vector<std::string> lines = Broken(twice);
  ASSERT_EQ(Rules(lines), (Rules_{"certificate-table-entries", "certificate-table-padding"}));
  EXPECT_EQ(lines[0], "certificate-table-entries: the certificate table holds a second "
                      "WIN_CERTIFICATE entry at byte 9864; a signed launcher file has exactly one");
  EXPECT_EQ(lines[1], "certificate-table-padding: 19 bytes follow the signature inside the "
                      "certificate table, which the signature does not cover; only up to 7 zero "
                      "bytes of alignment belong there");
}

// A signed launcher file with a foreign payload inside its certificate table, which the signature
// does not cover, as an attacker makes it: laid out by the writer behind the file's own first
// bytes as the stub, far enough past the real trailer that the launcher's window holds only the
// foreign one. `inSignature`: inside the signature's encoding, as an unsigned attribute would
// carry it, every length exact and no padding; otherwise as padding after the signature, the
// entry's length and the table's size grown to match.
std::vector<uint8_t> ForgedLauncher(bool inSignature) {
  const size_t added = 160000;  // a multiple of 8, past the 128 KiB window
  std::vector<uint8_t> file = Sound();
  AppendCertificateTable(file, StandInSignature(inSignature ? added : 56));
  const uint32_t table = 9800;
  if (!inSignature) {
    file.resize(file.size() + added, 0);
    StoreU32(&file[table], static_cast<uint32_t>(file.size() - table));
    StoreU32(&file[kSyntheticCertificateEntry + 4], static_cast<uint32_t>(file.size() - table));
  }
  LauncherContents foreign{
      std::vector<uint8_t>(file.begin(), file.begin() + table + 140000),
      PatternBytes(3000, 7),
      PatternBytes(4000, 8),
      {u"Forged", u"{0C3A5E1B-7F2D-4B8A-9E61-5D2F8C7A4B10}", u"setup.exe", u"Corvalinth.msi"}};
  StoreU32(&foreign.stub[kSyntheticCertificateEntry], 0);
  StoreU32(&foreign.stub[kSyntheticCertificateEntry + 4], 0);
  std::vector<uint8_t> whole = BuildLauncher(foreign);
  EXPECT_LE(whole.size(), file.size());
  std::copy(whole.begin() + foreign.stub.size(), whole.end(), file.begin() + foreign.stub.size());
  SetChecksum(file);
  return file;
}

TEST_F(VerifyTest, FailsBothForgeriesOfTheCertificateTableOnItsOwnRules) {
  using Rules_ = std::vector<std::string>;
  for (bool inSignature : {false, true}) {
    std::vector<uint8_t> forged = ForgedLauncher(inSignature);
    // The launcher would run the foreign payload.
    WriteFile("launcher.exe", forged);
    ToolRun inspect = Run({"inspect", PathOf("launcher.exe")});
    EXPECT_EQ(inspect.code, 0) << inspect.err;
    EXPECT_NE(inspect.out.find("\ntitle:             Forged\n"), std::string::npos) << inspect.out;

    std::vector<std::string> lines = Broken(forged);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "certificate-table-forged-trailer: the trailer's magic values stand at "
                            "byte 156800, a 128-byte step inside the certificate table, which the "
                            "signature does not cover: a forged trailer");
    if (inSignature)
      EXPECT_EQ(Rules(lines), (Rules_{"certificate", "certificate-table-forged-trailer"}));
    else
      EXPECT_EQ(Rules(lines),
                (Rules_{"certificate", "certificate-table-length", "certificate-table-padding",
                        "certificate-table-forged-trailer"}));
  }
}

// Signatures laid out as the signing tools write them, their digests the file's own: verify shows
// each one and passes; one changed byte of the payload breaks every digest; the two options make
// a missing signature or time stamp a failed check.
TEST_F(VerifyTest, ReportsEachSignatureAndChecksTheDigestItSigns) {
  using Rules_ = std::vector<std::string>;
  TestSignature outer;
  outer.signerName = "Vossimere HSM publisher";
  outer.timeStamp = TestSignature::kRfc3161;
  TestSignature nested;
  nested.algorithm = HashAlgorithm::kSha1;
  outer.nested.push_back(nested);
  std::vector<uint8_t> file = Sound();
  SignImage(file, outer);

  // The stand-ins are laid out as the signing tools write them, their image digests and
  // messageDigest attributes the file's own, but no key signed them: each signature is read,
  // its digest matches, and it does not verify (the real ones are signing_test.sh's).
  WriteFile("launcher.exe", file);
  ToolRun run = Run({"verify", "--json", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 1) << run.out;
  for (const char* part :
       {"\"signature\":{\"signed\":true,\"problem\":null,\"signatures\":[{\"nested\":false,"
        "\"digestAlgorithm\":\"sha256\",\"signedDigest\":\"",
        "\"digestMatches\":true,\"result\":\"does-not-verify\",\"reason\":\"the signer's "
        "certificate ",
        "\"trustedRoot\":\"not-checked\",\"signer\":\"O=Vossimere, CN=Vossimere HSM publisher\","
        "\"timeStamp\":\"rfc3161\",\"timeStampResult\":\"does-not-verify\",\"timeStampReason\":"
        "\"the time-stamp token is not a PKCS #7 SignedData\"",
        "{\"nested\":true,\"digestAlgorithm\":\"sha1\"",
        "\"timeStamp\":null,\"timeStampResult\":null,\"timeStampReason\":null,"
        "\"timeStampSigner\":null}],\"bytesAfterSignature\":",
        "{\"rule\":\"signature-digest\",\"result\":\"holds\"",
        "{\"rule\":\"signature-verifies\",\"result\":\"broken\",\"messages\":[\"signature 1 "
        "does not verify: the signer's certificate "})
    EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
  EXPECT_EQ(Rules(Broken(file)), (Rules_{"signature-verifies", "signature-verifies"}));

  // Only the outer signature needs a time stamp, and one that verifies.
  run = Run({"verify", PathOf("launcher.exe"), "--require-timestamp"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(PathOf("launcher.exe") +
                         ": timestamp-required: signature 1's time stamp does not verify: the "
                         "time-stamp token is not a PKCS #7 SignedData (--require-timestamp)\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("signature 2 (nested) has no time stamp"), std::string::npos);
  run = Run({"verify", PathOf("launcher.exe"), "--require-signed"});
  EXPECT_NE(run.err.find(": signature-required: signature 2 (nested) does not verify: "),
            std::string::npos)
      << run.err;

  // One payload byte changed, the image checksum set again: both digests differ.
  std::vector<uint8_t> changed = file;
  changed[kPackageAt + 10] ^= 1;
  SetChecksum(changed);
  std::vector<std::string> lines = Broken(changed);
  ASSERT_EQ(Rules(lines), (Rules_{"signature-digest", "signature-digest"}));
  EXPECT_NE(lines[0].find("signature-digest: signature 1 signs the sha256 image digest "),
            std::string::npos);
  EXPECT_NE(lines[0].find(", but the file's is "), std::string::npos);
  EXPECT_NE(lines[1].find("signature 2 (nested) signs the sha1 image digest"), std::string::npos);
  // The fields signing changes are not covered: a new checksum alone breaks no digest.
  std::vector<uint8_t> checksum = file;
  checksum[kSyntheticChecksumField] ^= 1;
  EXPECT_EQ(Rules(Broken(checksum)),
            (Rules_{"checksum", "signature-verifies", "signature-verifies"}));

  // An unsigned file, and one whose signature cannot be read (the layout tests' stand-in).
  WriteFile("launcher.exe", Sound());
  run = Run({"verify", PathOf("launcher.exe"), "--require-signed", "--require-timestamp"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err,
            PathOf("launcher.exe") +
                ": signature-required: the file carries no signature (--require-signed)\n" +
                PathOf("launcher.exe") +
                ": timestamp-required: the file carries no signature, so no time stamp "
                "(--require-timestamp)\n");
  std::vector<uint8_t> standIn = Sound();
  AppendCertificateTable(standIn, StandInSignature(53));
  WriteFile("launcher.exe", standIn);
  run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("\n  signature: the signature is not a PKCS #7 SignedData; what it covers "
                         "is not known\n"),
            std::string::npos)
      << run.out;
  run = Run({"verify", PathOf("launcher.exe"), "--require-signed"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, PathOf("launcher.exe") +
                         ": signature-required: the signature is not a PKCS #7 SignedData, so what "
                         "the signature covers is not known (--require-signed)\n");
}

// The embedded files' own signatures: a signed installer program and a package that holds the
// signature stream.
TEST_F(VerifyTest, SaysWhetherTheEmbeddedFilesAreSigned) {
  // A package whose directory names the signature stream but not under the root storage (this
  // builder links no entry into the root's tree): its signature does not verify.
  LauncherContents contents = SampleContents();
  contents.package = CompoundFileWithStreams({u"\x0005"
                                              u"DigitalSignature"});
  WriteFile("launcher.exe", GoodLauncher(contents));
  ToolRun run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(": signature-verifies: the package's signature does not verify: its "
                         "DigitalSignature stream is not under the root storage"),
            std::string::npos)
      << run.err;

  // A package signed over the digest of its streams (by a stand-in key): the digest matches, the
  // signer's signature does not verify; one changed byte of its Property table, and the digest
  // differs too.
  std::vector<BuiltStream> streams = MsiPropertyStreams(kExampleProductProperties);
  Hash digest(HashAlgorithm::kSha256);
  MsiSignedContent(PackageBytes(BuildCompoundFile(streams)),
                   [&](const uint8_t* bytes, size_t count) { digest.Add(bytes, count); });
  TestSignature packageSignature;
  packageSignature.digest = digest.Finish();
  streams.push_back({u"\x0005"
                     u"DigitalSignature",
                     AuthenticodeSignatureDer(packageSignature)});
  LauncherContents signedPackage = SampleContents();
  signedPackage.package = BuildCompoundFile(streams);
  WriteFile("launcher.exe", GoodLauncher(signedPackage));
  run = Run({"verify", "--json", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 1);
  for (const char* part :
       {"\"package\":\"signed\",\"packageResult\":\"does-not-verify\",\"packageReason\":\"the "
        "signer's certificate ",
        "\"packageSignatures\":[{\"nested\":false,\"digestAlgorithm\":\"sha256\",",
        "\"digestMatches\":true,\"result\":\"does-not-verify\","})
    EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
  streams[2].data[0] ^= 1;
  signedPackage.package = BuildCompoundFile(streams);
  WriteFile("launcher.exe", GoodLauncher(signedPackage));
  run = Run({"verify", "--json", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("\"digestMatches\":false,\"result\":\"does-not-verify\","),
            std::string::npos)
      << run.out;

  // An installer program whose certificate table holds no signature that can be read, and one
  // with a signature no key made: both do not verify, and verify fails on them.
  std::vector<uint8_t> installer = SyntheticImage();
  AppendCertificateTable(installer, StandInSignature(64));
  contents.installer = installer;
  WriteFile("launcher.exe", GoodLauncher(contents));
  run = Run({"verify", "--json", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 1);
  for (const char* part :
       {"\"installer\":\"signed\",\"installerResult\":\"does-not-verify\",\"installerReason\":"
        "\"the signature is not a PKCS #7 SignedData\",\"installerSignatures\":[],",
        "\"package\":\"signed\",\"packageResult\":\"does-not-verify\","})
    EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
  std::vector<uint8_t> standIn = SyntheticImage();
  SignImage(standIn, TestSignature{});
  contents.installer = standIn;
  WriteFile("launcher.exe", GoodLauncher(contents));
  run = Run({"verify", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(": signature-verifies: the installer program's signature 1 does not "
                         "verify: the signer's certificate "),
            std::string::npos)
      << run.err;

  contents.installer = SyntheticImage();
  contents.package = CompoundFileWithStreams({u"\x0005"
                                              u"SummaryInformation"});
  WriteFile("launcher.exe", GoodLauncher(contents));
  run = Run({"verify", "--json", PathOf("launcher.exe")});
  EXPECT_NE(run.out.find("\"installer\":\"not-signed\",\"installerResult\":null,"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"package\":\"not-signed\",\"packageResult\":null,"), std::string::npos)
      << run.out;
}

TEST_F(VerifyTest, JsonGivesEveryRuleWithItsResultAndMessages) {
  WriteFile("launcher.exe", Sound());
  ToolRun run = Run({"verify", "--json", PathOf("launcher.exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  std::string holds;
  // An unsigned file has no certificate table whose contents could be checked.
  // The rules in rows, as a table reads; the formatter would give each its own line.
  // clang-format off
  for (const char* rule :
       {"length", "image", "launcher", "resources", "anchor", "names", "title", "false-anchor",
        "installer-range", "package-range", "stub-length", "installer-offset", "package-offset",
        "trailer-offset", "gap", "after-names", "certificate", "certificate-table-entries",
        "certificate-table-type", "certificate-table-length", "certificate-table-signature",
        "certificate-table-padding", "certificate-table-end", "certificate-table-forged-trailer",
        "checksum", "signature-digest", "signature-verifies", "signature-required",
        "timestamp-required"}) {
    // clang-format on
    bool inTable = std::string(rule).compare(0, 17, "certificate-table") == 0 ||
                   std::string(rule).compare(0, 10, "signature-") == 0 ||
                   std::string(rule).find("-required") != std::string::npos;
    holds += std::string(holds.empty() ? "" : ",") + "{\"rule\":\"" + rule + "\",\"result\":\"" +
             (inTable ? "not-checked" : "holds") + "\",\"messages\":[]}";
  }
  std::string file = "{\"file\":\"" + JsonPath(PathOf("launcher.exe")) + "\",";
  EXPECT_EQ(run.out, file + "\"holds\":true,\"rules\":[" + holds +
                         "],\"roomLeft\":130878,\"signature\":{\"signed\":false,\"problem\":null,"
                         "\"signatures\":[],\"bytesAfterSignature\":null,\"onlyAlignment\":false,"
                         "\"installer\":\"unreadable\",\"installerResult\":null,"
                         "\"installerReason\":null,\"installerSignatures\":[],"
                         "\"package\":\"unreadable\",\"packageResult\":null,\"packageReason\":null,"
                         "\"packageSignatures\":[]}}"
                         "\n");

  // A broken rule with its message on the standard output only; what the missing trailer leaves
  // unchecked says so.
  std::vector<uint8_t> bare = stub_;
  SetChecksum(bare);
  bare[kSyntheticChecksumField] ^= 1;
  WriteFile("bare.exe", bare);
  run = Run({"verify", PathOf("bare.exe"), "--json"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "");
  for (const char* part :
       {"\"holds\":false,\"rules\":[{\"rule\":\"length\",\"result\":\"holds\",\"messages\":[]},",
        "{\"rule\":\"anchor\",\"result\":\"broken\",\"messages\":[\"no 128-byte boundary in the "
        "last 128 KiB carries both magic values; the launcher finds no trailer\"]}",
        "{\"rule\":\"gap\",\"result\":\"not-checked\",\"messages\":[]}",
        "{\"rule\":\"checksum\",\"result\":\"broken\",\"messages\":[\"the image checksum is 0x",
        "],\"roomLeft\":null,\"signature\":{\"signed\":false,",
        "\"installer\":null,\"installerResult\":null,", "\"package\":null,\"packageResult\":null,"})
    EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
}

TEST_F(VerifyTest, UsageAndUnreadableFilesExitWith2) {
  EXPECT_EQ(Run({"verify"}).code, 2);
  EXPECT_EQ(Run({"verify", "a", "b"}).code, 2);
  ToolRun run = Run({"verify", PathOf("missing.exe")});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("cannot find"), std::string::npos);
  run = Run({"verify", "-"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("FILE is '-', but the tool cannot read from the standard input"),
            std::string::npos)
      << run.err;
}

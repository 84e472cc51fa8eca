// Writes the generated seed inputs of the fuzz targets, built with the pack tool's own writer:
//   make_fuzz_corpus <corpus folder>     (the checked-in one is tests/fuzz/corpus)
// Each target's seeds go to <corpus folder>/<target>/; existing files of the same name are
// replaced, others (findings kept as regression seeds) are left alone.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "pack/format/pe_image.h"
#include "pack/format/trailer_writer.h"
#include "pack/io/input_file.h"
#include "pack/rules/layout_rules.h"
#include "tests/support/authenticode_builder.h"
#include "tests/support/certificate_table.h"
#include "tests/support/compound_file_builder.h"
#include "tests/support/launcher_builder.h"
#include "tests/support/sample_files.h"
#include "tests/support/synthetic_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

const TrailerNames kNames = SampleNames();

AnchorRecord Record() { return MakeAnchorRecord(4096, 111, 222, 4096, 10, 4112, 20); }

bool Write(const std::string& folder, const std::string& target, const std::string& name,
           const Bytes& bytes) {
  std::filesystem::create_directories(folder + "/" + target);
  std::string path = folder + "/" + target + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::perror(path.c_str());
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::perror(path.c_str());
  return ok;
}

// A scan_tail input: the window start, then the tail.
Bytes ScanInput(uint32_t windowStart, const Bytes& tail) {
  Bytes input(4);
  StoreU32(input.data(), windowStart);
  input.insert(input.end(), tail.begin(), tail.end());
  return input;
}

Bytes TailWith(size_t length, std::initializer_list<std::pair<size_t, Bytes>> parts) {
  Bytes tail;
  for (const auto& part : parts) PlaceBytes(tail, part.first, part.second);
  tail.resize(std::max(length, tail.size()), 0);
  return tail;
}

bool WriteScanTailSeeds(const std::string& folder) {
  const std::string t = "scan_tail";
  const Bytes trailer = EncodeTrailer(Record(), kNames);
  Bytes unended = trailer;
  unended.resize(unended.size() - 2);
  Bytes signedTail = TailWith(0, {{256, trailer}});
  signedTail.resize(NextMultiple(signedTail.size(), 8), 0);
  signedTail.resize(signedTail.size() + 200, 0x30);  // stands for a certificate table
  bool ok = true;
  ok &= Write(folder, t, "empty", {});
  ok &= Write(folder, t, "empty-window", ScanInput(0, {}));
  ok &= Write(folder, t, "trailer-at-128", ScanInput(0, TailWith(400, {{128, trailer}})));
  ok &= Write(folder, t, "trailer-at-0-of-file", ScanInput(0, TailWith(300, {{0, trailer}})));
  ok &= Write(folder, t, "trailer-at-0-of-window", ScanInput(128, TailWith(300, {{0, trailer}})));
  ok &= Write(folder, t, "trailer-then-certificate", ScanInput(1513728, signedTail));
  ok &= Write(folder, t, "trailer-off-boundary", ScanInput(0, TailWith(400, {{200, trailer}})));
  ok &=
      Write(folder, t, "empty-package-name",
            ScanInput(0, TailWith(300, {{128, EncodeTrailer(Record(), {u"T", u"F", u"I", u""})}})));
  ok &= Write(folder, t, "first-of-two-refused",
              ScanInput(0, TailWith(600, {{128, EncodeTrailer(Record(), {u"E", u"", u"a", u"b"})},
                                          {384, trailer}})));
  ok &= Write(folder, t, "unended-package-name", ScanInput(0, TailWith(0, {{128, unended}})));
  ok &=
      Write(folder, t, "smallest-accepted",
            ScanInput(0, TailWith(0, {{128, EncodeTrailer(Record(), {u"T", u"F", u"I", u"P"})}})));
  return ok;
}

// A read_packed_string input: the first position, then the buffer.
Bytes ReadInput(uint32_t pos, const Bytes& buffer) {
  Bytes input(4);
  StoreU32(input.data(), pos);
  input.insert(input.end(), buffer.begin(), buffer.end());
  return input;
}

bool WriteReadPackedStringSeeds(const std::string& folder) {
  const std::string t = "read_packed_string";
  const Bytes block = EncodeNamesBlock(kNames);
  Bytes unended = block;
  unended.resize(unended.size() - 3);  // half a unit left over at the end
  const Bytes japanese =
      EncodeNamesBlock({u"製品 \xD83D\xDE00", u"{フォルダ}", u"\xD800.exe", u""});
  bool ok = true;
  ok &= Write(folder, t, "empty", ReadInput(0, {}));
  ok &= Write(folder, t, "names-block", ReadInput(0, block));
  ok &= Write(folder, t, "names-block-odd-start", ReadInput(1, block));
  ok &= Write(folder, t, "unended", ReadInput(0, unended));
  ok &= Write(folder, t, "surrogates-and-japanese", ReadInput(0, japanese));
  ok &= Write(folder, t, "start-at-end", ReadInput(static_cast<uint32_t>(block.size()), block));
  return ok;
}

void Put16(Bytes& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// The sample contents, as small as they can be: an installer and a package that start as a
// program and a Windows Installer package do.
LauncherContents SmallLauncher() {
  return SampleContents(SyntheticImage(), Bytes{'M', 'Z', 1, 2, 3, 4, 5, 6, 7, 8, 9},
                        Bytes{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0, 0, 0, 0, 0, 0, 7});
}

// The seeds that stand for good launcher files must pass verify, or they seed nothing useful.
bool PassesVerify(const std::string& path) {
  InputFile file(path, "");
  std::vector<std::string> broken = BrokenRules(ReadLauncherView(file), file);
  for (const std::string& rule : broken)
    std::fprintf(stderr, "%s: %s\n", path.c_str(), rule.c_str());
  return broken.empty();
}

bool WritePeSeeds(const std::string& folder) {
  const Bytes program = SyntheticImage();
  Bytes withChecksum = program;
  SetChecksum(withChecksum);
  SyntheticImageOptions dllOptions;
  dllOptions.characteristics |= kImageFileDll;
  SyntheticImageOptions pe32Options;
  pe32Options.magic = 0x10B;
  Bytes signedProgram = program;
  AppendCertificateTable(signedProgram, StandInSignature(29, 0x5A));
  // The headers up to the first section header: the second one is missing.
  Bytes cut(program.begin(), program.begin() + kSyntheticOptionalHeader + 240 + 40);

  bool ok = true;
  const std::string t = "pe_image";
  ok &= Write(folder, t, "program", withChecksum);
  ok &= Write(folder, t, "dll", SyntheticImage(dllOptions));
  ok &= Write(folder, t, "pe32", SyntheticImage(pe32Options));
  ok &= Write(folder, t, "signed-program", signedProgram);
  ok &= Write(folder, t, "cut-in-section-table", cut);
  ok &= Write(folder, t, "not-an-image", Bytes{0x7F, 'E', 'L', 'F', 2, 1, 1});

  Bytes launcher = BuildLauncher(SmallLauncher());
  SetChecksum(launcher);
  const std::string c = "pe_checksum";
  ok &= Write(folder, c, "empty", {});
  ok &= Write(folder, c, "program", withChecksum);
  ok &= Write(folder, c, "launcher", launcher);
  return ok;
}

bool WriteLauncherFileSeeds(const std::string& folder) {
  const std::string t = "launcher_file";
  Bytes launcher = BuildLauncher(SmallLauncher());
  SetChecksum(launcher);
  Bytes signedLauncher = BuildLauncher(SmallLauncher());
  AppendCertificateTable(signedLauncher, StandInSignature(29, 0x5A));
  Bytes wrongChecksum = launcher;
  wrongChecksum[kSyntheticChecksumField] ^= 1;
  Bytes falseAnchor = launcher;  // the magic values at a boundary inside the stub's .idata data
  PlaceBytes(falseAnchor, 0x580, EncodeTrailer(MakeAnchorRecord(0, 0, 0, 0, 0, 0, 0), kNames));
  SetChecksum(falseAnchor);
  LauncherContents refused = SmallLauncher();
  refused.names.installerName.clear();
  Bytes refusedLauncher = BuildLauncher(refused);
  SetChecksum(refusedLauncher);
  Bytes program = SyntheticImage();
  SetChecksum(program);

  bool ok = true;
  ok &= Write(folder, t, "launcher", launcher);
  ok &= Write(folder, t, "signed-launcher", signedLauncher);
  ok &= Write(folder, t, "wrong-checksum", wrongChecksum);
  ok &= Write(folder, t, "false-anchor", falseAnchor);
  ok &= Write(folder, t, "empty-installer-name", refusedLauncher);
  ok &= Write(folder, t, "program-without-trailer", program);
  ok &= Write(folder, t, "empty", {});
  ok = ok && PassesVerify(folder + "/" + t + "/launcher");
  ok = ok && PassesVerify(folder + "/" + t + "/signed-launcher");
  return ok;
}

// A certificate_table input: the table's file offset, the scan piece selector, then the table.
Bytes TableInput(uint32_t fileOffset, uint8_t piece, const Bytes& table) {
  Bytes input(4);
  StoreU32(input.data(), fileOffset);
  input.push_back(piece);
  input.insert(input.end(), table.begin(), table.end());
  return input;
}

bool WriteCertificateTableSeeds(const std::string& folder) {
  const std::string t = "certificate_table";
  const Bytes signature = StandInSignature(61, 0x5A);
  const Bytes entry = CertificateEntry(signature);  // 72 bytes: 3 of alignment
  Bytes exact = entry;
  StoreU32(exact.data(), 8 + 61);
  Bytes second = entry;
  second.insert(second.end(), entry.begin(), entry.end());
  // Padding after the signature with a record's magic values at the file's 128-byte steps.
  Bytes padded = entry;
  PlaceBytes(padded, 0x200 - 8, EncodeTrailer(Record(), kNames));
  padded.resize(NextMultiple(padded.size(), 8), 0);
  StoreU32(padded.data(), static_cast<uint32_t>(padded.size()));
  // The same record inside the signature's own encoding (two length bytes), every length exact:
  // at file offset 8 + 8 + 240.
  Bytes der{0x30, 0x82, 0x01, 0xB4, 0x06, 0x09, 0x2A, 0x86,
            0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
  der.resize(440, 0);
  PlaceBytes(der, 240, EncodeTrailer(Record(), kNames));
  const Bytes inside = CertificateEntry(der);
  Bytes indefinite = entry;
  indefinite[9] = 0x80;
  Bytes wrongType = entry;
  Put16(wrongType, 4, 0x0100);
  Put16(wrongType, 6, 0x0001);

  bool ok = true;
  ok &= Write(folder, t, "empty", TableInput(0, 0, {}));
  ok &= Write(folder, t, "cut-header", TableInput(8, 0, Bytes(entry.begin(), entry.begin() + 6)));
  ok &= Write(folder, t, "signed", TableInput(0x190100 + 200, 7, entry));
  ok &= Write(folder, t, "exact-length", TableInput(8, 0, exact));
  ok &= Write(folder, t, "second-entry", TableInput(8, 1, second));
  ok &= Write(folder, t, "forged-trailer-in-padding", TableInput(8, 2, padded));
  ok &= Write(folder, t, "forged-trailer-in-signature", TableInput(8, 1, inside));
  ok &= Write(folder, t, "indefinite-length", TableInput(8, 0, indefinite));
  ok &= Write(folder, t, "revision-1-type-x509", TableInput(8, 0, wrongType));
  return ok;
}

// An authenticode input: the selector (0 signature, 1 installer, 2 package), then the bytes.
Bytes SelectorInput(uint8_t selector, const Bytes& bytes) {
  Bytes input{selector};
  input.insert(input.end(), bytes.begin(), bytes.end());
  return input;
}

bool WriteAuthenticodeSeeds(const std::string& folder) {
  const std::string t = "authenticode";
  TestSignature outer;
  outer.digest = Bytes(32, 0x11);
  outer.timeStamp = TestSignature::kRfc3161;
  TestSignature nested;
  nested.algorithm = HashAlgorithm::kSha1;
  nested.digest = Bytes(20, 0x22);
  nested.timeStamp = TestSignature::kCounterSignature;
  outer.nested.push_back(nested);
  Bytes signedProgram = SyntheticImage();
  AppendCertificateTable(signedProgram, StandInSignature(29, 0x5A));
  bool ok = true;
  ok &= Write(folder, t, "signature", SelectorInput(0, AuthenticodeSignatureDer(nested)));
  ok &= Write(folder, t, "signature-nested", SelectorInput(0, AuthenticodeSignatureDer(outer)));
  ok &= Write(folder, t, "signed-program", SelectorInput(1, signedProgram));
  ok &= Write(folder, t, "signed-package",
              SelectorInput(2, CompoundFileWithStreams({u"a", u"b", u"c", u"d",
                                                        u"\x0005"
                                                        u"DigitalSignature"})));
  return ok;
}

// A text_options input: the selector (0 UTF-8, 1 UTF-16, 2 time, 3 arguments), then the text.
Bytes TextInput(uint8_t selector, const std::string& text) {
  Bytes input{selector};
  input.insert(input.end(), text.begin(), text.end());
  return input;
}

bool WriteTextSeeds(const std::string& folder) {
  const std::string t = "text_options";
  Bytes utf16 = EncodeNamesBlock({u"製品 \xD83D\xDE00 \xD800", u"", u"", u""});
  utf16.insert(utf16.begin(), 1);
  const std::string args[] = {"build",   "--stub", "Vossimere.exe", "--title=製品", "-o",
                              "out.exe", "--",     "-not-an-option"};
  std::string joined;
  for (const std::string& arg : args) joined += arg + std::string(1, '\0');
  joined.pop_back();
  bool ok = true;
  ok &= Write(folder, t, "utf8-name", TextInput(0, "セットアップ.exe"));
  ok &= Write(folder, t, "utf8-broken", TextInput(0, "ab\xC0\xAF\xED\xA0\x80"));
  ok &= Write(folder, t, "utf16-units", utf16);
  ok &= Write(folder, t, "time-with-zone", TextInput(2, "2024-05-01T12:34:56.1234567+09:00"));
  ok &= Write(folder, t, "time-last-second", TextInput(2, "9999-12-31T23:59:59Z"));
  ok &= Write(folder, t, "time-first-second", TextInput(2, "1601-01-01 00:00:00Z"));
  ok &= Write(folder, t, "arguments", TextInput(3, joined));
  return ok;
}

}  // namespace

// Packages from the in-memory builder: fields in the mini stream, in whole sectors with 3-byte
// string numbers, in code page 1252, and one whose directory chain loops.
bool WriteMsiPackageSeeds(const std::string& folder) {
  const std::string t = "msi_package";
  std::vector<std::pair<std::string, std::string>> fields = {
      {"ProductCode", "{3F1E6C2A-7B9D-4E58-A0C4-5D2B8E61F937}"},
      {"UpgradeCode", "{6C0D6F1B-3E62-4E0C-9E4B-2A5D27A0B7C1}"},
      {"ProductName", "Vossimere Example Product"},
      {"ALLUSERS", "2"},
      {"MSIINSTALLPERUSER", "1"}};
  bool ok = Write(folder, t, "small", BuildCompoundFile(MsiPropertyStreams(fields)));
  ok &= Write(folder, t, "cp1252",
              BuildCompoundFile(MsiPropertyStreams({{"ProductName", "Caf\xE9"}}, 1252)));
  std::vector<std::pair<std::string, std::string>> many = fields;
  for (int i = 0; i < 300; ++i) many.emplace_back("P" + std::to_string(i), std::string(20, 'v'));
  ok &= Write(folder, t, "whole-sectors-long-references",
              BuildCompoundFile(MsiPropertyStreams(many, 65001, true)));
  CompoundLayout layout;
  Bytes looped = BuildCompoundFile(MsiPropertyStreams(fields), &layout);
  PutLe32(looped, (layout.firstFatSector + 1) * 512 + 4 * layout.firstDirectorySector,
          layout.firstDirectorySector);
  ok &= Write(folder, t, "directory-loop", looped);
  return ok;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_corpus <corpus folder>\n");
    return 2;
  }
  bool ok = WriteScanTailSeeds(argv[1]);
  ok &= WriteReadPackedStringSeeds(argv[1]);
  ok &= WritePeSeeds(argv[1]);
  ok &= WriteLauncherFileSeeds(argv[1]);
  ok &= WriteTextSeeds(argv[1]);
  ok &= WriteCertificateTableSeeds(argv[1]);
  ok &= WriteMsiPackageSeeds(argv[1]);
  ok &= WriteAuthenticodeSeeds(argv[1]);
  return ok ? 0 : 1;
}

// forge-certificate-table FORM SIGNED STUB INSTALLER PACKAGE OUT: the signed launcher file SIGNED
// with a foreign launcher (STUB's size, INSTALLER, PACKAGE, the title "Forged") hidden in its
// certificate table, FORM "padding" after the signature or in an "unsigned-attribute". The
// signing tests run it on files osslsigncode signed.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/certificate_forgery.h"
#include "tests/support/sample_files.h"

static bool Read(const char* path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int main(int argc, char** argv) {
  if (argc != 7 ||
      (std::strcmp(argv[1], "padding") != 0 && std::strcmp(argv[1], "unsigned-attribute") != 0)) {
    std::fprintf(stderr,
                 "usage: forge-certificate-table padding|unsigned-attribute SIGNED STUB INSTALLER "
                 "PACKAGE OUT\n");
    return 2;
  }
  Forgery forgery = std::strcmp(argv[1], "padding") == 0 ? Forgery::kPaddingAfterTheSignature
                                                         : Forgery::kUnsignedAttribute;
  std::vector<uint8_t> signedFile, stub, installer, package;
  for (auto [path, bytes] : {std::pair{argv[2], &signedFile},
                             {argv[3], &stub},
                             {argv[4], &installer},
                             {argv[5], &package}}) {
    if (!Read(path, *bytes)) {
      std::fprintf(stderr, "forge-certificate-table: cannot read %s\n", path);
      return 1;
    }
  }
  LauncherContents forged = SampleContents(stub, installer, package);
  forged.names.title = u"Forged";
  std::string problem;
  std::vector<uint8_t> file = ForgeInCertificateTable(signedFile, forged, forgery, &problem);
  if (file.empty()) {
    std::fprintf(stderr, "forge-certificate-table: %s: %s\n", argv[2], problem.c_str());
    return 1;
  }
  std::ofstream out(argv[6], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "forge-certificate-table: cannot write %s\n", argv[6]);
    std::remove(argv[6]);
    return 1;
  }
  return 0;
}

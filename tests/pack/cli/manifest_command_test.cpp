// vossimere-pack manifest winget: the manifest for a launcher file carrying a real package, the
// fields winget's installer-manifest schema requires and the values it allows, and the options
// and files it refuses.
#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "tests/pack/cli/pack_tool_fixture.h"
#include "tests/support/compound_file_builder.h"

namespace {

const auto& kExample = kExampleProductProperties;

class ManifestTest : public PackToolTest {
 protected:
  ToolRun Manifest(const std::vector<std::pair<std::string, std::string>>& properties,
                   std::vector<std::string> options, uint32_t codepage = 65001) {
    WriteFile("Corvalinth.msi", BuildCompoundFile(MsiPropertyStreams(properties, codepage)));
    EXPECT_EQ(Build("out.exe").code, 0);
    std::vector<std::string> args = {"manifest", "winget", PathOf("out.exe")};
    args.insert(args.end(), options.begin(), options.end());
    return Run(args);
  }
  const std::vector<std::string> required_ = {"--identifier", "Vossimere.ExampleProduct", "--url",
                                              "https://example.com/ExampleProductSetup.exe"};
};

}  // namespace

TEST_F(ManifestTest, GivesTheInstallerTheSwitchesCodesAndPackageFields) {
  std::vector<std::string> options = required_;
  options.insert(options.end(), {"--silent", "/qn", "--silent-with-progress", "/qb", "--log",
                                 "/l*v \"<LOGPATH>\""});
  ToolRun run = Manifest(kExample, options);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out,
            "# A winget installer manifest made by vossimere-pack from the launcher file.\n"
            "# yaml-language-server: "
            "$schema=https://aka.ms/winget-manifest.installer.1.10.0.schema.json\n"
            "PackageIdentifier: \"Vossimere.ExampleProduct\"\n"
            "PackageVersion: \"1.0.0\"\n"
            "InstallerType: exe\n"
            "Scope: machine\n"
            "InstallModes:\n  - interactive\n  - silent\n  - silentWithProgress\n"
            "InstallerSwitches:\n"
            "  Silent: \"/qn\"\n"
            "  SilentWithProgress: \"/qb\"\n"
            "  Log: \"/l*v \\\"<LOGPATH>\\\"\"\n"
            "InstallerSuccessCodes:\n  - 3010\n  - 1641\n"
            "ExpectedReturnCodes:\n"
            "  - InstallerReturnCode: 3\n    ReturnResponse: contactSupport\n"
            "  - InstallerReturnCode: 6\n    ReturnResponse: contactSupport\n"
            "  - InstallerReturnCode: 11\n    ReturnResponse: contactSupport\n"
            "  - InstallerReturnCode: 29\n    ReturnResponse: diskFull\n"
            "  - InstallerReturnCode: 30\n    ReturnResponse: contactSupport\n"
            "  - InstallerReturnCode: 82\n    ReturnResponse: contactSupport\n"
            "  - InstallerReturnCode: 110\n    ReturnResponse: contactSupport\n"
            "  - InstallerReturnCode: 155\n    ReturnResponse: insufficientMemory\n"
            "  - InstallerReturnCode: 161\n    ReturnResponse: contactSupport\n"
            "  - InstallerReturnCode: 192\n    ReturnResponse: blockedByPolicy\n"
            "  - InstallerReturnCode: 1223\n    ReturnResponse: cancelledByUser\n"
            "  - InstallerReturnCode: 1450\n    ReturnResponse: insufficientMemory\n"
            "AppsAndFeaturesEntries:\n"
            "  - DisplayName: \"Vossimere Example Product\"\n"
            "    Publisher: \"Vossimere example publisher\"\n"
            "    DisplayVersion: \"1.0.0\"\n"
            "    ProductCode: \"{3F1E6C2A-7B9D-4E58-A0C4-5D2B8E61F937}\"\n"
            "    UpgradeCode: \"{6C0D6F1B-3E62-4E0C-9E4B-2A5D27A0B7C1}\"\n"
            "    InstallerType: msi\n"
            "Installers:\n"
            "  - Architecture: x64\n"
            "    InstallerUrl: \"https://example.com/ExampleProductSetup.exe\"\n"
            "    InstallerSha256: " +
                Sha256Hex(ReadFile("out.exe"), true) +
                "\n"
                "    ProductCode: \"{3F1E6C2A-7B9D-4E58-A0C4-5D2B8E61F937}\"\n"
                "ManifestType: installer\n"
                "ManifestVersion: 1.10.0\n");
}

// What winget's installer-manifest schema (1.10.0) requires and allows, checked on the lines of a
// manifest with every switch: the five top-level fields and the installer's three, ReturnResponse
// values from its list, no code 0 (winget's own success, which the schema refuses) and each code
// once; a package value that would break the YAML stays inside its quotes.
TEST_F(ManifestTest, HoldsTheFieldsAndValuesWingetsSchemaRequires) {
  std::vector<std::string> options = required_;
  options.insert(options.end(), {"--silent", "/qn", "--interactive", "/qf", "--install-location",
                                 "INSTALLDIR=\"<INSTALLPATH>\"", "--upgrade", "REINSTALL=ALL",
                                 "--custom", "REBOOT=ReallySuppress", "--version", "1.0.0-rc.1"});
  std::vector<std::pair<std::string, std::string>> hostile = kExample;
  hostile[3].second = "Name\"\nManifestType: locale\t\\";
  hostile[5].second = "2";
  hostile.emplace_back("MSIINSTALLPERUSER", "1");
  ToolRun run = Manifest(hostile, options);
  ASSERT_EQ(run.code, 0) << run.err;
  std::set<std::string> top, installer;
  std::set<std::string> responses;
  std::vector<long> codes;
  std::istringstream lines(run.out);
  std::string line;
  bool inInstallers = false;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] != ' ') {
      top.insert(line.substr(0, line.find(':')));
      inInstallers = line == "Installers:";
      continue;
    }
    std::string key = line.substr(line.find_first_not_of(" -"));
    std::string name = key.substr(0, key.find(':'));
    std::string value = key.find(": ") == std::string::npos ? "" : key.substr(key.find(": ") + 2);
    if (inInstallers) installer.insert(name);
    if (name == "ReturnResponse") responses.insert(value);
    bool successCode = line.rfind("  - ", 0) == 0 && key.find(':') == std::string::npos &&
                       std::isdigit(static_cast<unsigned char>(key[0]));
    if (name == "InstallerReturnCode" || successCode)
      codes.push_back(std::stol(successCode ? key : value));
    if (name == "InstallerSha256") {
      EXPECT_EQ(value.size(), 64u);
    }
  }
  for (const char* field :
       {"PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"})
    EXPECT_EQ(top.count(field), 1u) << field;
  for (const char* field : {"Architecture", "InstallerUrl", "InstallerSha256"})
    EXPECT_EQ(installer.count(field), 1u) << field;
  EXPECT_EQ(top.count("Scope"), 1u);
  EXPECT_NE(run.out.find("\nScope: user\n"), std::string::npos);
  const std::set<std::string> allowed = {"packageInUse",
                                         "packageInUseByApplication",
                                         "installInProgress",
                                         "fileInUse",
                                         "missingDependency",
                                         "diskFull",
                                         "insufficientMemory",
                                         "invalidParameter",
                                         "noNetwork",
                                         "contactSupport",
                                         "rebootRequiredToFinish",
                                         "rebootRequiredForInstall",
                                         "rebootInitiated",
                                         "cancelledByUser",
                                         "alreadyInstalled",
                                         "downgrade",
                                         "blockedByPolicy",
                                         "systemNotSupported",
                                         "custom"};
  for (const std::string& r : responses) EXPECT_EQ(allowed.count(r), 1u) << r;
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 0L), 0);
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
  EXPECT_EQ(codes.size(), 14u);  // 3010, 1641 and the launcher's own twelve
  EXPECT_NE(run.out.find("  - DisplayName: \"Name\\\"\\x0AManifestType: locale\\x09\\\\\"\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("PackageVersion: \"1.0.0-rc.1\"\n"), std::string::npos);
  EXPECT_NE(run.out.find("  Custom: \"REBOOT=ReallySuppress\"\n"), std::string::npos);
}

TEST_F(ManifestTest, RefusesWhatWingetWouldAndFilesWithoutAPackage) {
  auto refused = [&](std::vector<std::string> options,
                     const std::vector<std::pair<std::string, std::string>>& properties =
                         kExample) {
    ToolRun run = Manifest(properties, options);
    EXPECT_EQ(run.out, "");
    return std::to_string(run.code) + " " + run.err.substr(0, run.err.find('\n'));
  };
  EXPECT_EQ(refused({"--url", "https://example.com/a.exe"}),
            "2 vossimere-pack manifest: missing --identifier");
  EXPECT_EQ(refused({"--identifier", "Product", "--url", "https://example.com/a.exe"}),
            "2 vossimere-pack manifest: --identifier 'Product' is not a winget package "
            "identifier: 2 to 8 parts of 1 to 32 characters joined by dots (Publisher.Product), "
            "without blanks or \\ / : * ? \" < > |");
  EXPECT_EQ(
      refused({"--identifier", "A.B.C.D.E.F.G.H.I", "--url", "https://e.com/a"}).substr(0, 40),
      "2 vossimere-pack manifest: --identifier ");
  EXPECT_EQ(refused({"--identifier", "My Co.Product", "--url", "https://e.com/a"}).substr(0, 40),
            "2 vossimere-pack manifest: --identifier ");
  EXPECT_EQ(refused({"--identifier", "A.B", "--url", "ftp://example.com/a.exe"}),
            "2 vossimere-pack manifest: --url 'ftp://example.com/a.exe' is not an http:// or "
            "https:// address");
  EXPECT_EQ(refused({"--identifier", "A.B", "--url", "https://e.com/a", "--silent",
                     std::string(513, 'q')}),
            "2 vossimere-pack manifest: --silent is longer than the 512 characters winget allows");
  EXPECT_EQ(refused({"--identifier", "A.B", "--url", "https://e.com/a"}, {{"ALLUSERS", "1"}}),
            "2 vossimere-pack manifest: the package has no ProductVersion: give the version with "
            "--version");
  ToolRun run = Run({"manifest", "chocolatey", PathOf("out.exe")});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
            "vossimere-pack manifest: unknown manifest kind 'chocolatey' (known: winget)");

  // A package that is no Windows Installer database: nothing is printed, exit code 1.
  WriteFile("Corvalinth.msi", PatternBytes(5000, 2));
  ASSERT_EQ(Build("plain.exe").code, 0);
  std::vector<std::string> args = {"manifest", "winget", PathOf("plain.exe")};
  args.insert(args.end(), required_.begin(), required_.end());
  run = Run(args);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "vossimere-pack manifest: " + PathOf("plain.exe") +
                         ": the embedded package cannot be read: not a compound file: its "
                         "signature is missing\n");
  // ALLUSERS neither empty, 1 nor 2: no Scope rather than a guess.
  run = Manifest({{"ProductVersion", "1"}, {"ALLUSERS", "3"}}, required_);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out.find("Scope:"), std::string::npos);
  EXPECT_EQ(run.out.find("AppsAndFeaturesEntries:"), std::string::npos);  // no codes to give

  // A name in a code page the platform cannot convert, or with bytes that are not text in its
  // own: refused rather than published as U+FFFD. The same name in 1252 is published.
  std::vector<std::pair<std::string, std::string>> named = kExample;
  named[3].second = "Caf\xE9";
  auto firstLine = [](const ToolRun& r) {
    return std::to_string(r.code) + " " + r.out + r.err.substr(0, r.err.find('\n'));
  };
  EXPECT_EQ(firstLine(Manifest(named, required_, 12345)),
            "2 vossimere-pack manifest: the package's ProductName is in code page 12345, which "
            "cannot be converted on this platform: it is not published as U+FFFD");
  named[3].second = "A\x93";
  EXPECT_EQ(firstLine(Manifest(named, required_, 932)),
            "2 vossimere-pack manifest: the package's ProductName holds bytes that are not text "
            "in its code page 932: it is not published as U+FFFD");
  named[3].second = "Caf\xE9";
  run = Manifest(named, required_, 1252);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("  - DisplayName: \"Caf\xC3\xA9\"\n"), std::string::npos) << run.out;
}

// vossimere-pack manifest winget: the manifest for a launcher file carrying a real package, the
// fields winget's installer-manifest schema requires and the values it allows, and the options
// and files it refuses.
#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
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
  // What --output-dir needs beside them.
  std::vector<std::string> SetOptions(const std::string& folder) {
    std::vector<std::string> options = required_;
    options.insert(options.end(), {"--output-dir", PathOf(folder), "--license", "Proprietary",
                                   "--short-description", "An example product"});
    return options;
  }
  std::string Text(const std::string& name) {
    std::vector<uint8_t> bytes = ReadFile(name);
    return std::string(bytes.begin(), bytes.end());
  }
};

// A manifest's top-level scalars, as a YAML reader gives them: double-quoted values unescaped
// (the escapes YamlString writes), plain ones as they are. Lines of lists and maps are left out.
std::map<std::string, std::string> TopLevelValues(const std::string& yaml) {
  std::map<std::string, std::string> values;
  std::istringstream lines(yaml);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#' || line[0] == ' ') continue;
    size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 2);
    if (!value.empty() && value[0] == '"') {
      std::string plain;
      for (size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] != '\\') {
          plain += value[i];
        } else if (value[++i] == 'x') {
          plain += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
          i += 2;
        } else {
          plain += value[i];
        }
      }
      value = plain;
    }
    EXPECT_EQ(values.count(line.substr(0, colon)), 0u) << line;
    values[line.substr(0, colon)] = value;
  }
  return values;
}

// winget's published schemas (manifest.version, .defaultLocale and .installer 1.12.0): each
// file's required fields, and the patterns and lengths of those written here.
struct SchemaField {
  const char* name;
  const char* pattern;  // ECMAScript, as in the schema; "" for none
  size_t shortest, longest;
};
const char kIdentifierPattern[] = "^[^\\.\\s\\\\/:\\*\\?\"<>\\|\\x01-\\x1f]{1,32}(\\.[^\\.\\s\\\\/"
                                  ":\\*\\?\"<>\\|\\x01-\\x1f]{1,32}){1,7}$";
const char kVersionPattern[] = "^[^\\\\/:\\*\\?\"<>\\|\\x01-\\x1f]+$";
const char kLocalePattern[] =
    "^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$";
const char kManifestVersionPattern[] =
    "^(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
    "(\\.(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|"
    "6553[0-5])){2}$";
const std::map<std::string, std::vector<SchemaField>> kRequiredFields = {
    {"version",
     {{"PackageIdentifier", kIdentifierPattern, 1, 128},
      {"PackageVersion", kVersionPattern, 1, 128},
      {"DefaultLocale", kLocalePattern, 1, 20},
      {"ManifestType", "^version$", 1, 100},
      {"ManifestVersion", kManifestVersionPattern, 1, 100}}},
    {"defaultLocale",
     {{"PackageIdentifier", kIdentifierPattern, 1, 128},
      {"PackageVersion", kVersionPattern, 1, 128},
      {"PackageLocale", kLocalePattern, 1, 20},
      {"Publisher", "", 2, 256},
      {"PackageName", "", 2, 256},
      {"License", "", 3, 512},
      {"ShortDescription", "", 3, 256},
      {"ManifestType", "^defaultLocale$", 1, 100},
      {"ManifestVersion", kManifestVersionPattern, 1, 100}}},
    {"installer",
     {{"PackageIdentifier", kIdentifierPattern, 1, 128},
      {"PackageVersion", kVersionPattern, 1, 128},
      {"Installers", "^$", 0, 0},
      {"ManifestType", "^installer$", 1, 100},
      {"ManifestVersion", kManifestVersionPattern, 1, 100}}},
};

// The problems of one manifest against its schema's required fields; empty when it holds to it.
std::vector<std::string> SchemaProblems(const std::string& type, const std::string& yaml) {
  std::vector<std::string> problems;
  std::map<std::string, std::string> values = TopLevelValues(yaml);
  if (yaml.find("Installers:\n") != std::string::npos) values["Installers"] = "";
  for (const SchemaField& field : kRequiredFields.at(type)) {
    auto found = values.find(field.name);
    if (found == values.end()) {
      problems.push_back(std::string(field.name) + " missing");
      continue;
    }
    const std::string& value = found->second;
    size_t length = 0;
    for (unsigned char c : value) length += (c & 0xC0) != 0x80;
    if (length < field.shortest || length > field.longest)
      problems.push_back(std::string(field.name) + " of " + std::to_string(length) + " characters");
    if (*field.pattern && !std::regex_search(value, std::regex(field.pattern)))
      problems.push_back(std::string(field.name) + " '" + value + "' breaks " + field.pattern);
  }
  return problems;
}

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
            "$schema=https://aka.ms/winget-manifest.installer.1.12.0.schema.json\n"
            "PackageIdentifier: \"Vossimere.ExampleProduct\"\n"
            "PackageVersion: \"1.0.0\"\n"
            "InstallerType: exe\n"
            "Scope: machine\n"
            "InstallModes:\n  - interactive\n  - silent\n  - silentWithProgress\n"
            "InstallerSwitches:\n"
            "  Silent: \"/qn\"\n"
            "  SilentWithProgress: \"/qb\"\n"
            "  Log: \"/l*v \\\"<LOGPATH>\\\"\"\n"
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
            "  - InstallerReturnCode: 1641\n    ReturnResponse: rebootInitiated\n"
            "  - InstallerReturnCode: 3010\n    ReturnResponse: rebootRequiredToFinish\n"
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
                "ManifestVersion: 1.12.0\n");
  EXPECT_EQ(run.err, "vossimere-pack manifest: warning: " + PathOf("out.exe") +
                         " is not signed: its SHA-256 changes when it is signed, so sign it first "
                         "and make the manifest from the signed file\n");
}

// What winget's installer-manifest schema (1.12.0) requires and allows, checked on the lines of a
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
  EXPECT_EQ(codes.size(), 14u);  // the launcher's own twelve, 3010 and 1641
  // Restarts are winget's MSI responses, not plain successes.
  EXPECT_EQ(run.out.find("InstallerSuccessCodes"), std::string::npos);
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
            "https:// address on one line");
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

TEST_F(ManifestTest, WritesTheWholeSetWingetReadsNamedAsWingetPkgsNamesThem) {
  std::vector<std::string> options = SetOptions("manifests/Vossimere/ExampleProduct/1.0.0");
  options.insert(options.end(), {"--return-code", "1603=contactSupport", "--return-code",
                                 "0x80070005=blockedByPolicy", "--return-code=-1=custom"});
  ToolRun run = Manifest(kExample, options);
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string folder = "manifests/Vossimere/ExampleProduct/1.0.0/";
  const std::string id = "Vossimere.ExampleProduct";
  // Printed as the system joins a folder and a name.
  const std::string in = PathOf(folder.substr(0, folder.size() - 1)) +
                         static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(run.out,
            in + id + ".yaml\n" + in + id + ".locale.en-US.yaml\n" + in + id + ".installer.yaml\n");
  EXPECT_EQ(
      Text(folder + id + ".yaml"),
      "# A winget version manifest made by vossimere-pack.\n"
      "# yaml-language-server: $schema=https://aka.ms/winget-manifest.version.1.12.0.schema.json\n"
      "PackageIdentifier: \"Vossimere.ExampleProduct\"\n"
      "PackageVersion: \"1.0.0\"\n"
      "DefaultLocale: en-US\n"
      "ManifestType: version\n"
      "ManifestVersion: 1.12.0\n");
  EXPECT_EQ(Text(folder + id + ".locale.en-US.yaml"),
            "# A winget default-locale manifest made by vossimere-pack.\n"
            "# yaml-language-server: "
            "$schema=https://aka.ms/winget-manifest.defaultLocale.1.12.0.schema.json\n"
            "PackageIdentifier: \"Vossimere.ExampleProduct\"\n"
            "PackageVersion: \"1.0.0\"\n"
            "PackageLocale: en-US\n"
            "Publisher: \"Vossimere example publisher\"\n"
            "PackageName: \"Vossimere Example Product\"\n"
            "License: \"Proprietary\"\n"
            "ShortDescription: \"An example product\"\n"
            "ManifestType: defaultLocale\n"
            "ManifestVersion: 1.12.0\n");
  // The installer manifest is the one printed without --output-dir, with the installer's codes
  // among the others, in order.
  std::string installer = Text(folder + id + ".installer.yaml");
  EXPECT_NE(installer.find("ExpectedReturnCodes:\n"
                           "  - InstallerReturnCode: -1\n    ReturnResponse: custom\n"
                           "  - InstallerReturnCode: 3\n"),
            std::string::npos)
      << installer;
  EXPECT_NE(installer.find("  - InstallerReturnCode: 1450\n    ReturnResponse: insufficientMemory\n"
                           "  - InstallerReturnCode: 1603\n    ReturnResponse: contactSupport\n"
                           "  - InstallerReturnCode: 1641\n"),
            std::string::npos);
  EXPECT_NE(installer.find("  - InstallerReturnCode: 3010\n    ReturnResponse: "
                           "rebootRequiredToFinish\n"
                           "  - InstallerReturnCode: 2147942405\n    ReturnResponse: "
                           "blockedByPolicy\nAppsAndFeaturesEntries:"),
            std::string::npos);
  for (const auto& [type, name] : std::vector<std::pair<std::string, std::string>>{
           {"version", id + ".yaml"},
           {"defaultLocale", id + ".locale.en-US.yaml"},
           {"installer", id + ".installer.yaml"}})
    EXPECT_EQ(SchemaProblems(type, Text(folder + name)), std::vector<std::string>()) << name;

  // The locale fields from options, over the package's; another locale; the set written again
  // over the first in place.
  options = SetOptions("set");
  options.insert(options.end(), {"--publisher", "Ÿ Publisher", "--package-name", "Corvalinth",
                                 "--locale", "ja-JP", "--version", "2.0 beta"});
  run = Manifest({{"ProductVersion", "1.0"}}, options);
  ASSERT_EQ(run.code, 0) << run.err;
  run = Manifest({{"ProductVersion", "1.0"}}, options);
  ASSERT_EQ(run.code, 0) << run.err;
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(folder_ / "set"))
    written.push_back(entry.path().filename().string());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, std::vector<std::string>(
                         {id + ".installer.yaml", id + ".locale.ja-JP.yaml", id + ".yaml"}));
  std::string locale = Text("set/" + id + ".locale.ja-JP.yaml");
  EXPECT_EQ(SchemaProblems("defaultLocale", locale), std::vector<std::string>());
  EXPECT_NE(locale.find("Publisher: \"Ÿ Publisher\"\nPackageName: \"Corvalinth\"\n"),
            std::string::npos);
  EXPECT_NE(
      Text("set/" + id + ".yaml").find("PackageVersion: \"2.0 beta\"\nDefaultLocale: ja-JP\n"),
      std::string::npos);
}

// Each value winget's schema would refuse, from an option or from the package, ends the command
// before anything is printed or written; characters YAML cannot carry are written escaped.
TEST_F(ManifestTest, RefusesEveryValueTheSchemaWouldBeforeWriting) {
  auto refused = [&](std::vector<std::string> options,
                     const std::vector<std::pair<std::string, std::string>>& properties =
                         kExample) {
    ToolRun run = Manifest(properties, options);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(Exists("set")) << run.err;
    return std::to_string(run.code) + " " + run.err.substr(0, run.err.find('\n'));
  };
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> options = SetOptions("set");
    options.insert(options.end(), extra.begin(), extra.end());
    return options;
  };
  auto package = [&](const std::string& field, const std::string& value) {
    std::vector<std::pair<std::string, std::string>> properties = kExample;
    for (auto& property : properties)
      if (property.first == field) property.second = value;
    return properties;
  };
  const std::string prefix = "2 vossimere-pack manifest: ";
  auto begins = [](const std::string& text,
                   const std::string& start) -> ::testing::AssertionResult {
    if (text.rfind(start, 0) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "'" << text << "' does not begin '" << start << "'";
  };
  EXPECT_EQ(refused(with({"--version", "not a/version"})),
            prefix + "--version 'not a/version' is not a winget package version: it holds a "
                     "control character or one of \\ / : * ? \" < > |");
  EXPECT_EQ(refused(with({}), package("ProductVersion", "1.0:beta")),
            prefix + "the package's ProductVersion '1.0:beta' is not a winget package version: "
                     "it holds a control character or one of \\ / : * ? \" < > |");
  EXPECT_TRUE(begins(refused(required_, package("ProductVersion", "1\x01")),
                     prefix + "the package's ProductVersion '1"));
  EXPECT_EQ(refused(with({}), package("ProductName", std::string(257, 'n'))),
            prefix + "the package's ProductName is longer than the 256 characters winget allows");
  EXPECT_EQ(refused(with({"--package-name", std::string(257, 'n')})),
            prefix + "--package-name is longer than the 256 characters winget allows");
  EXPECT_EQ(refused(required_, package("ProductCode", std::string(256, 'c'))),
            prefix + "the package's ProductCode is longer than the 255 characters winget allows");
  EXPECT_EQ(refused(with({}), package("Manufacturer", "M")),
            prefix + "the package's Manufacturer (or --publisher) is shorter than the 2 "
                     "characters winget asks for");
  EXPECT_EQ(refused(with({}), {{"ProductVersion", "1"}}),
            prefix + "the package has no Manufacturer: give it with --publisher");
  for (const char* space : {"\u3000", "\u00A0", "\u2028", "\t"})
    EXPECT_TRUE(begins(refused({"--identifier", std::string("My") + space + "Co.Product", "--url",
                                "https://e.com/a"}),
                       prefix + "--identifier 'My"))
        << space;
  EXPECT_EQ(refused({"--identifier", "A.B", "--url", "https://e.com/a\nManifestType: locale"}),
            prefix + "--url 'https://e.com/a");  // the message's first line
  EXPECT_TRUE(begins(refused({"--identifier", "A.B", "--url", "https://e.com/a\u2029b"}),
                     prefix + "--url 'https://e.com/a"));
  EXPECT_EQ(refused(with({"--locale", "english"})),
            prefix + "--locale 'english' is not a language tag winget takes (en-US, de, ja-JP)");
  const std::vector<std::string> set = {"--identifier",    "A.B",          "--url",
                                        "https://e.com/a", "--output-dir", PathOf("set")};
  auto plus = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), set.begin(), set.end());
    return extra;
  };
  EXPECT_EQ(refused(plus({"--license", "MI", "--short-description", "An example"})),
            prefix + "--license is shorter than the 3 characters winget asks for");
  EXPECT_EQ(refused(plus({"--license", "MIT", "--short-description", std::string(257, 'd')})),
            prefix + "--short-description is longer than the 256 characters winget allows");
  EXPECT_EQ(refused({"--identifier", "A.B", "--url", "https://e.com/a", "--output-dir",
                     PathOf("set"), "--short-description", "An example"}),
            prefix + "missing --license (with --output-dir)");
  EXPECT_EQ(refused({"--identifier", "A.B", "--url", "https://e.com/a", "--license", "MIT"}),
            prefix + "--license is a field of the default-locale manifest, which only "
                     "--output-dir writes");
  EXPECT_TRUE(begins(refused(with({"--return-code", "1603=failed"})),
                     prefix + "--return-code '1603=failed' has a RESPONSE winget does not know; "
                              "it knows packageInUse, "));
  EXPECT_EQ(refused(with({"--return-code", "0=custom"})),
            prefix + "--return-code '0=custom' has a CODE winget refuses: not 0 (winget's own "
                     "success), from -2147483648 to 4294967295");
  EXPECT_TRUE(begins(refused(with({"--return-code", "4294967296=custom"})),
                     prefix + "--return-code '4294967296=custom' has a CODE winget refuses"));
  EXPECT_EQ(refused(with({"--return-code", "1603"})),
            prefix + "--return-code '1603' is not CODE=RESPONSE with a decimal or 0x "
                     "hexadecimal CODE");
  EXPECT_EQ(refused(with({"--return-code", "3010=custom"})),
            prefix + "--return-code 3010 is listed already, as Windows Installer's restart code "
                     "(rebootRequiredToFinish)");
  EXPECT_EQ(refused(with({"--return-code", "7=custom", "--return-code", "0x7=diskFull"})),
            prefix + "--return-code 7 is listed already, as the installer's own code (custom)");
  std::vector<std::string> many = SetOptions("set");
  for (int code = 10000; code < 10000 + 115; ++code)
    many.insert(many.end(), {"--return-code", std::to_string(code) + "=custom"});
  EXPECT_TRUE(begins(refused(many), prefix + "--return-code is given too often: winget takes 128"));
  many.resize(many.size() - 2);
  EXPECT_EQ(Manifest(kExample, many).code, 0);  // 14 and 114: the 128 the schema allows

  // Non-characters and the byte order mark reach the file escaped, the rest as it is.
  ToolRun run =
      Manifest(package("ProductName", "A\uFFFEB\uFFFF\uFDD0\U0010FFFF\uFEFFé"), required_);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("DisplayName: \"A\\uFFFEB\\uFFFF\\uFDD0\\U0010FFFF\\uFEFFé\"\n"),
            std::string::npos)
      << run.out;
}

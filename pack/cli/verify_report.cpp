#include "pack/cli/verify_report.h"

#include <sstream>

#include "launch/scan_tail.h"
#include "pack/cli/launcher_report.h"
#include "pack/cli/signature_report.h"
#include "pack/rules/layout_rules.h"
#include "pack/text/json_text.h"

namespace {

std::string RuleOf(const std::string& line) { return line.substr(0, line.find(':')); }

std::string MessageOf(const std::string& line) {
  size_t colon = line.find(':');
  return colon == std::string::npos ? line : line.substr(colon + 2);
}

// Whether BrokenRules got as far as `rule` on this file.
bool Checked(const std::string& rule, const LauncherView& view) {
  if (rule == "length") return true;
  if (!view.lengthInFormat) return false;
  if (rule == "image" || rule == "anchor") return true;
  if (rule == "launcher" || rule == "resources" || rule == "checksum")
    return view.image.has_value();
  if (rule == "names" || rule == "title") return view.scanResult != kNoMatch;
  // The certificate-table rules look into a table only a signed file has.
  if (rule.compare(0, 17, "certificate-table") == 0)
    return view.image.has_value() && view.CertificateTable().size != 0;
  if (rule == "installer-offset") return view.Accepted() && view.image;
  return view.Accepted();
}

void Rule(std::ostringstream& out, const std::string& rule, const char* result,
          const std::vector<std::string>& broken) {
  out << "{\"rule\":" << JsonString(rule) << ",\"result\":\"" << result << "\",\"messages\":[";
  const char* comma = "";
  for (const std::string& line : broken) {
    if (RuleOf(line) != rule) continue;
    out << comma << JsonString(MessageOf(line));
    comma = ",";
  }
  out << "]}";
}

}  // namespace

std::string VerifyJson(const std::string& fileName, const LauncherView& view,
                       const std::vector<std::string>& broken, const SignatureReport& signatures,
                       const SignatureRequirements& required) {
  std::ostringstream out;
  out << "{\"file\":" << JsonString(fileName)
      << ",\"holds\":" << (broken.empty() ? "true" : "false") << ",\"rules\":[";
  std::vector<std::string> listed = RuleNames();
  const char* comma = "";
  for (const std::string& rule : listed) {
    bool isBroken = false;
    for (const std::string& line : broken) isBroken = isBroken || RuleOf(line) == rule;
    out << comma;
    Rule(out, rule, isBroken ? "broken" : Checked(rule, view) ? "holds" : "not-checked", broken);
    comma = ",";
  }
  for (const std::string& rule : SignatureRuleNames()) {
    bool isBroken = false;
    for (const std::string& line : broken) isBroken = isBroken || RuleOf(line) == rule;
    const bool checked = SignatureRuleChecked(rule, signatures, required);
    out << ",";
    Rule(out, rule, isBroken ? "broken" : checked ? "holds" : "not-checked", broken);
    listed.push_back(rule);
  }
  // A finding under a name the list does not know yet still appears, as broken.
  for (const std::string& line : broken) {
    std::string rule = RuleOf(line);
    bool known = false;
    for (const std::string& name : listed) known = known || name == rule;
    if (known) continue;
    listed.push_back(rule);
    out << ",";
    Rule(out, rule, "broken", broken);
  }
  out << "],\"roomLeft\":" << JsonRoomLeft(view) << ",\"signature\":" << SignatureJson(signatures)
      << "}\n";
  return out.str();
}

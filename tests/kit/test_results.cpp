#include "tests/kit/test_results.h"

#include <cstdlib>
#include <map>

#include "pack/text/utf.h"

std::vector<KitProgram> ReadKitList(const std::string& text, std::string* problem) {
  std::vector<KitProgram> programs;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> words;
    size_t at = 0;
    while (at < line.size()) {
      size_t next = line.find(' ', at);
      if (next == std::string::npos) next = line.size();
      if (next > at) words.push_back(line.substr(at, next - at));
      at = next + 1;
    }
    if (words.empty()) continue;
    programs.push_back({words[0], std::vector<std::string>(words.begin() + 1, words.end())});
  }
  if (programs.empty()) *problem = "the list names no test program";
  return programs;
}

namespace {

// An attribute's value with its character references replaced; GoogleTest writes line ends in
// messages as "&#x0A;".
std::string Unescaped(const std::string& value) {
  static const std::map<std::string, char> named = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  for (size_t at = 0; at < value.size(); ++at) {
    size_t semicolon = value[at] == '&' ? value.find(';', at) : std::string::npos;
    if (semicolon == std::string::npos) {
      out += value[at];
      continue;
    }
    std::string entity = value.substr(at + 1, semicolon - at - 1);
    if (entity.size() > 1 && entity[0] == '#') {
      bool hex = entity[1] == 'x' || entity[1] == 'X';
      AppendUtf8(out, static_cast<char32_t>(
                          std::strtoul(entity.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10)));
    } else if (auto found = named.find(entity); found != named.end()) {
      out += found->second;
    } else {
      out += value.substr(at, semicolon - at + 1);
    }
    at = semicolon;
  }
  return out;
}

struct Tag {
  std::string name;  // "/name" for an end tag
  std::map<std::string, std::string> attributes;
  bool selfClosing = false;
};

// Reads the tag that starts at `at` (just after its '<'); false when the text ends inside it.
bool ReadTag(const std::string& xml, size_t& at, Tag& tag) {
  auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
  size_t start = at;
  while (at < xml.size() && !isSpace(xml[at]) && xml[at] != '>' && xml[at] != '/') ++at;
  if (at < xml.size() && xml[at] == '/' && at == start) ++at;  // an end tag
  while (at < xml.size() && !isSpace(xml[at]) && xml[at] != '>' && xml[at] != '/') ++at;
  tag.name = xml.substr(start, at - start);
  for (;;) {
    while (at < xml.size() && isSpace(xml[at])) ++at;
    if (at >= xml.size()) return false;
    if (xml[at] == '>') {
      ++at;
      return true;
    }
    if (xml[at] == '/') {
      tag.selfClosing = true;
      ++at;
      continue;
    }
    size_t equals = xml.find('=', at);
    if (equals == std::string::npos || equals + 1 >= xml.size()) return false;
    std::string name = xml.substr(at, equals - at);
    while (!name.empty() && isSpace(name.back())) name.pop_back();
    size_t open = equals + 1;
    while (open < xml.size() && isSpace(xml[open])) ++open;
    if (open >= xml.size() || (xml[open] != '"' && xml[open] != '\'')) return false;
    size_t close = xml.find(xml[open], open + 1);
    if (close == std::string::npos) return false;
    tag.attributes[name] = Unescaped(xml.substr(open + 1, close - open - 1));
    at = close + 1;
  }
}

// A message's text without the "file:line" line GoogleTest puts before it.
std::string MessageText(const std::string& message) {
  size_t lineEnd = message.find('\n');
  std::string text = lineEnd == std::string::npos ? message : message.substr(lineEnd + 1);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::optional<std::vector<CaseResult>> ReadGoogleTestXml(const std::string& xml) {
  std::vector<CaseResult> cases;
  bool inCase = false;
  bool complete = false;
  bool rootSeen = false;
  std::string suite;
  size_t at = 0;
  while ((at = xml.find('<', at)) != std::string::npos) {
    // Declarations, comments and the CDATA sections holding a message's detail hold no tags.
    static const std::pair<const char*, const char*> skipped[] = {
        {"<?", "?>"}, {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<!", ">"}};
    bool wasSkipped = false;
    for (const auto& [open, close] : skipped) {
      if (xml.compare(at, std::char_traits<char>::length(open), open) != 0) continue;
      size_t end = xml.find(close, at);
      if (end == std::string::npos) return std::nullopt;
      at = end + std::char_traits<char>::length(close);
      wasSkipped = true;
      break;
    }
    if (wasSkipped) continue;
    ++at;
    Tag tag;
    if (!ReadTag(xml, at, tag)) return std::nullopt;
    if (tag.name == "testsuites") {
      rootSeen = true;
    } else if (tag.name == "/testsuites") {
      complete = rootSeen;
    } else if (tag.name == "testsuite") {
      suite = tag.attributes["name"];
    } else if (tag.name == "testcase") {
      CaseResult result;
      std::string className =
          tag.attributes.count("classname") ? tag.attributes["classname"] : suite;
      result.name = className + "." + tag.attributes["name"];
      if (tag.attributes["status"] == "notrun") {
        result.outcome = CaseOutcome::kSkipped;
        result.reason = "disabled";
      } else if (tag.attributes["result"] == "skipped") {
        result.outcome = CaseOutcome::kSkipped;
      }
      cases.push_back(result);
      inCase = !tag.selfClosing;
    } else if (tag.name == "/testcase") {
      inCase = false;
    } else if (inCase && (tag.name == "failure" || tag.name == "skipped")) {
      CaseResult& result = cases.back();
      std::string text = MessageText(tag.attributes["message"]);
      if (tag.name == "failure") {
        if (result.outcome != CaseOutcome::kFailed) {
          result.outcome = CaseOutcome::kFailed;
          result.reason = text.substr(0, text.find('\n'));
        }
      } else if (result.outcome == CaseOutcome::kSkipped && result.reason.empty()) {
        // One line in the runner's list.
        for (char& c : text) c = c == '\n' ? ' ' : c;
        result.reason = text;
      }
    }
  }
  if (!complete) return std::nullopt;
  return cases;
}

unsigned long StartTryingAgain(const std::function<unsigned long()>& start,
                               const std::function<void(unsigned long)>& beforeRetry) {
  const unsigned long kSharingViolation = 32;
  const unsigned long kInternalError = 1359;
  const int kTries = 3;
  unsigned long error = start();
  for (int tries = 1; tries < kTries && (error == kSharingViolation || error == kInternalError);
       ++tries) {
    beforeRetry(error);
    error = start();
  }
  return error;
}

std::vector<CaseResult> CountedCases(const ProgramRun& run) {
  std::vector<CaseResult> cases = run.cases ? *run.cases : std::vector<CaseResult>{};
  CaseResult own;
  own.name = run.program;
  own.outcome = CaseOutcome::kFailed;
  if (!run.started) {
    own.reason = "could not be started (Windows error " + std::to_string(run.exitCode) + ")";
  } else if (!run.ended) {
    own.reason = "did not end in time and was stopped";
  } else if (!run.cases) {
    own.reason = "wrote no complete report (exit code " + std::to_string(run.exitCode) + ")";
  } else if (run.exitCode != 0 && Count(cases).failed == 0) {
    own.reason = "ended with exit code " + std::to_string(run.exitCode) +
                 " although none of its cases failed";
  } else {
    return cases;
  }
  cases.push_back(own);
  return cases;
}

Tally Count(const std::vector<CaseResult>& cases) {
  Tally tally;
  for (const CaseResult& result : cases) {
    if (result.outcome == CaseOutcome::kPassed) ++tally.passed;
    if (result.outcome == CaseOutcome::kFailed) ++tally.failed;
    if (result.outcome == CaseOutcome::kSkipped) ++tally.skipped;
  }
  return tally;
}

std::string ClosingLine(const Tally& tally) {
  return std::to_string(tally.passed) + " passed, " + std::to_string(tally.failed) + " failed, " +
         std::to_string(tally.skipped) + " skipped";
}

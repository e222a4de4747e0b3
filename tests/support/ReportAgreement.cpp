#include "support/ReportAgreement.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "common/Utf8.h"
#include "support/JsonDocuments.h"

namespace {

const std::string kAbsent = "<absent>";

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> tokens;
  std::istringstream words(line);
  for (std::string token; words >> token;) tokens.push_back(token);
  return tokens;
}

// Every count a summary may hold, so that a count the document has and the line lacks is caught.
const char* const kCounts[] = {"members", "hidden", "kept", "noEntry", "failed", "removed", "restartNeeded",
                               "blocked", "shown", "alreadyVisible", "keptHidden", "families", "withoutFamily",
                               "severalVisibleEntries", "noVisibleEntry", "otherUser", "orphanedEntries",
                               "readShort"};

// A record's text as the document holds it: each \\uXXXX back to its character.
std::string Unescaped(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\u") == 0 && i + 6 <= text.size()) {
      plain += ToUtf8(std::wstring(1, static_cast<wchar_t>(std::stoul(text.substr(i + 2, 4), nullptr, 16))));
      i += 5;
    } else {
      plain += text[i];
    }
  }
  return plain;
}

// The JSON name of a count in the summary line: "restart-needed" is restartNeeded.
std::string CamelCase(const std::string& word) {
  std::string name;
  for (std::size_t i = 0; i < word.size(); ++i) {
    name += word[i] == '-' ? static_cast<char>(std::toupper(static_cast<unsigned char>(word[++i]))) : word[i];
  }
  return name;
}

class Agreement {
 public:
  explicit Agreement(const std::string& document) : document_(document) {}

  std::string At(const std::string& path) const {
    const std::optional<std::wstring> value = JsonAt(document_, path);
    return value ? ToUtf8(*value) : kAbsent;
  }

  void Summary(const std::string& line) const {
    std::string counts = line.substr(line.find(' ') + 1);
    const std::string exitCode = counts.substr(counts.rfind(' ') + 1);
    EXPECT_EQ(At("exitCode"), exitCode) << line;
    // An action over a family read short stops: the document's error, and no counts.
    if (counts.rfind("read-short,", 0) == 0) {
      EXPECT_EQ(At("error.code"), exitCode) << line;
      EXPECT_EQ(At("summary"), "null") << line;
      return;
    }
    counts = counts.substr(0, counts.find(';'));
    std::map<std::string, std::string> said;
    std::istringstream pairs(counts);
    for (std::string pair; std::getline(pairs, pair, ',');) {
      const std::vector<std::string> tokens = Tokens(pair);
      // The line counts each "orphaned-entry"; the document names the list's count orphanedEntries.
      const std::string name = CamelCase(tokens[1]);
      said[name == "orphanedEntry" ? "orphanedEntries" : name] = tokens[0];
    }
    // A line names these counts only when there are some.
    for (const char* name : {"blocked", "noVisibleEntry", "otherUser", "orphanedEntries", "readShort"}) {
      if (said.count(name) == 0 && At(std::string("summary.") + name) != kAbsent) said[name] = "0";
    }
    for (const auto& [name, count] : said) EXPECT_EQ(At("summary." + name), count) << line << ": " << name;
    for (const char* name : kCounts) {
      if (said.count(name) == 0) {
        EXPECT_EQ(At(std::string("summary.") + name), kAbsent) << line << ": " << name;
      }
    }
  }

  // An orphaned entry's record: code, version, view and name.
  void Orphaned(const std::string& line, const std::string& entry) const {
    const std::vector<std::string> tokens = Tokens(line.substr(0, line.find(" name=")));
    EXPECT_EQ(At(entry + "productCode"), tokens[0]) << line;
    EXPECT_EQ(At(entry + "view"), tokens[3]) << line;
    const std::string name = line.substr(line.find(" name=") + 6);
    EXPECT_EQ(At(entry + "name"), name.empty() ? "null" : Unescaped(name)) << line;
  }

  // "{UPGRADECODE} read-short indexes=N", or "products ..." for the list of every product.
  void ReadShort(const std::string& line, const std::string& enumeration) const {
    const std::vector<std::string> tokens = Tokens(line);
    EXPECT_EQ(At(enumeration + "upgradeCode"), tokens[0] == "products" ? "null" : tokens[0]) << line;
    EXPECT_EQ(At(enumeration + "indexes"), tokens[2].substr(tokens[2].find('=') + 1)) << line;
  }

  // A family's record: its code and how many members follow.
  void Family(const std::string& line, const std::string& family) const {
    const std::vector<std::string> tokens = Tokens(line);
    EXPECT_EQ(At(family + "upgradeCode"), tokens[0]) << line;
    const std::size_t members = std::stoul(tokens[2].substr(tokens[2].find('=') + 1));
    EXPECT_NE(At(family + "members." + std::to_string(members - 1) + ".productCode"), kAbsent) << line;
    EXPECT_EQ(At(family + "members." + std::to_string(members) + ".productCode"), kAbsent) << line;
    EXPECT_EQ(At(family + "noVisibleEntry"), tokens.back() == "no-visible-entry" ? "true" : "false") << line;
  }

  // A member's or a product's record, told at member ("members.0.").
  void Record(const std::string& line, const std::string& member) const {
    std::string text = line;
    std::string tail;  // name= and log= end a record and may hold spaces
    for (const char* last : {" name=", " log="}) {
      const std::size_t at = text.find(last);
      if (at != std::string::npos) {
        tail = text.substr(at + 1);
        text.erase(at);
      }
    }
    std::vector<std::string> tokens = Tokens(text);
    if (tokens.size() > 2 && tokens[2] == "without-family") tokens.erase(tokens.begin() + 2);
    // Whose install another user's member is: sid=, and user= when the SID names an account.
    std::string sid = "null", user = "null";
    for (auto token = tokens.begin(); token != tokens.end();) {
      if (token->rfind("sid=", 0) == 0 || token->rfind("user=", 0) == 0) {
        (token->front() == 's' ? sid : user) = token->substr(token->find('=') + 1);
        token = tokens.erase(token);
      } else {
        ++token;
      }
    }
    EXPECT_EQ(At(member + "userSid"), sid) << line;
    EXPECT_EQ(At(member + "userName"), user == "null" ? user : Unescaped(user)) << line;
    EXPECT_EQ(At(member + "productCode"), tokens[0]) << line;
    if (tokens[1].find('\\') == std::string::npos) {
      EXPECT_EQ(At(member + "version"), tokens[1] == "-" ? "null" : tokens[1]) << line;
    }
    if (tokens.size() > 3 && tokens[3].rfind("32-bit=", 0) == 0) {
      Listing(line, member, tokens);
    } else {
      Outcome(line, member, tokens, tail);
    }
  }

 private:
  void Listing(const std::string& line, const std::string& member, const std::vector<std::string>& tokens) const {
    EXPECT_EQ(At(member + "context"), tokens[2] == "unknown-context" ? "null" : tokens[2]) << line;
    const std::map<std::string, std::string> paths = {{"32-bit", "entries.view32"}, {"64-bit", "entries.view64"},
                                                      {"hide", "plan.hide"}, {"uninstall", "plan.uninstallOrder"},
                                                      {"keepnewest", "plan.keepNewest"}};
    for (std::size_t i = 3; i < tokens.size(); ++i) {
      const std::size_t equals = tokens[i].find('=');
      std::string value = tokens[i].substr(equals + 1);
      if (tokens[i] == "uninstall=leave") value = "null";
      EXPECT_EQ(At(member + paths.at(tokens[i].substr(0, equals))), value) << line;
    }
  }

  void Outcome(const std::string& line, const std::string& member, const std::vector<std::string>& tokens,
               const std::string& tail) const {
    std::string result = tokens[2];
    if (result == "kept" || (result == "removed" && tokens.size() > 3 && tokens[3] == "from-copy")) {
      result += "-" + tokens[3];
    }
    EXPECT_EQ(At(member + "result"), result) << line;
    if (result == "other-user") {
      EXPECT_EQ(At(member + "views"), "null") << line;
      return;
    }
    if (result == "shown" || result == "not-shown" || result == "already-visible" || result == "kept-hidden") {
      Shown(line, member, tokens);
      return;
    }
    const bool hide = result == "hidden" || result == "not-hidden" || result == "no-entry";
    std::map<std::string, std::string> views = {{"32-bit", "no-entry"}, {"64-bit", "no-entry"}};
    std::map<std::string, std::string> viewErrors = {{"32-bit", "null"}, {"64-bit", "null"}};
    std::string viewState, lastView, copyError = "null";
    bool restart = false;
    for (std::size_t i = 2; i < tokens.size(); ++i) {
      const std::string& token = tokens[i];
      if (token == "hidden" || token == "not-hidden") {
        viewState = token;
      } else if (token == "32-bit" || token == "64-bit") {
        views[lastView = token] = viewState;
      } else if (token.rfind("error=", 0) == 0) {
        if (hide) {
          viewErrors[lastView] = token.substr(6);
        } else {
          EXPECT_EQ(At(member + "installerError"), token.substr(6)) << line;
        }
      } else if (token.rfind("copy-error=", 0) == 0) {
        copyError = token.substr(11);
      } else if (token == "restart-needed") {
        restart = true;
      }
    }
    EXPECT_EQ(At(member + "restartNeeded"), restart ? "true" : "false") << line;
    if (hide) {
      for (const auto& [view, state] : views) {
        const std::string path = member + "views.view" + view.substr(0, 2) + ".";
        EXPECT_EQ(At(path + "state"), state) << line << ": " << view;
        EXPECT_EQ(At(path + "error"), viewErrors[view]) << line << ": " << view;
      }
    } else if (result == "not-removed") {
      EXPECT_EQ(At(member + "copyError"), copyError) << line;
    }
    if (tail.rfind("log=", 0) == 0) {
      EXPECT_EQ(At(member + "installerLog"), tail.substr(4)) << line;
    }
  }

  // A /showaddremoves record names the views it showed or could not show, and why it kept an entry.
  void Shown(const std::string& line, const std::string& member, const std::vector<std::string>& tokens) const {
    std::string viewState, lastView;
    for (std::size_t i = 2; i < tokens.size(); ++i) {
      const std::string& token = tokens[i];
      const std::size_t equals = token.find('=');
      if (token == "shown" || token == "not-shown") {
        viewState = token;
      } else if (token == "32-bit" || token == "64-bit") {
        lastView = member + "views.view" + token.substr(0, 2) + ".";
        EXPECT_EQ(At(lastView + "state"), viewState) << line;
        if (viewState == "shown") {
          EXPECT_EQ(At(lastView + "error"), "null") << line;
        }
      } else if (token.rfind("error=", 0) == 0) {
        EXPECT_EQ(At(lastView + "error"), token.substr(6)) << line;
      } else if (token == "by-package" || token == "cannot-tell") {
        EXPECT_EQ(At(member + "keptHidden.reason"), token) << line;
      } else if (equals != std::string::npos) {  // record-error=, package-error=
        EXPECT_EQ(At(member + "keptHidden." + CamelCase(token.substr(0, equals))), token.substr(equals + 1)) << line;
      }
    }
    if (tokens[2] != "kept-hidden") {
      EXPECT_EQ(At(member + "keptHidden"), "null") << line;
    }
  }

  const std::string& document_;
};

}  // namespace

void ExpectJsonAgreesWithReport(const std::string& report, const std::string& document) {
  if (report.empty()) return;  // a removal without /report prints no record to compare
  const Agreement agreement(document);
  std::istringstream lines(report);
  std::size_t members = 0, families = 0, withoutFamily = 0, familyMembers = 0, orphaned = 0, readShort = 0;
  std::string family;  // while a family's members follow its record: "families.N."
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("summary: ", 0) == 0) {
      agreement.Summary(line);
    } else if (line.find(" read-short indexes=") != std::string::npos) {
      agreement.ReadShort(line, "readShort." + std::to_string(readShort++) + ".");
    } else if (line.find(" family members=") != std::string::npos) {
      family = "families." + std::to_string(families++) + ".";
      familyMembers = 0;
      agreement.Family(line, family);
    } else if (line.find(" orphaned-entry ") != std::string::npos) {
      agreement.Orphaned(line, "orphanedEntries." + std::to_string(orphaned++) + ".");
    } else if (line.find(" without-family ") != std::string::npos) {
      agreement.Record(line, "withoutFamily." + std::to_string(withoutFamily++) + ".");
    } else if (!family.empty()) {
      agreement.Record(line, family + "members." + std::to_string(familyMembers++) + ".");
    } else if (line.find(" no-members") == std::string::npos && line.find(" no-visible-entry") == std::string::npos) {
      agreement.Record(line, "members." + std::to_string(members++) + ".");
    }
  }
  EXPECT_EQ(agreement.At("families." + std::to_string(families) + ".upgradeCode"), kAbsent) << "more families";
  EXPECT_EQ(agreement.At("withoutFamily." + std::to_string(withoutFamily) + ".productCode"), kAbsent)
      << "more products without a family";
  EXPECT_EQ(agreement.At("members." + std::to_string(members) + ".productCode"), kAbsent) << "more members";
  EXPECT_EQ(agreement.At("orphanedEntries." + std::to_string(orphaned) + ".productCode"), kAbsent)
      << "more orphaned entries";
  EXPECT_EQ(agreement.At("readShort." + std::to_string(readShort) + ".indexes"), kAbsent) << "more read short";
}

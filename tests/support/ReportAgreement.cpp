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
    counts = counts.substr(0, counts.find(';'));
    std::map<std::string, std::string> said;
    std::istringstream pairs(counts);
    for (std::string pair; std::getline(pairs, pair, ',');) {
      const std::vector<std::string> tokens = Tokens(pair);
      said[CamelCase(tokens[1])] = tokens[0];
    }
    // A removal's line names blocked members only when there are some.
    if (said.count("removed") != 0 && said.count("blocked") == 0) said["blocked"] = "0";
    // And /families' line names the families that show no entry only when there are some.
    if (said.count("families") != 0 && said.count("noVisibleEntry") == 0) said["noVisibleEntry"] = "0";
    // Every line names another user's members only when there are some.
    if (said.count("otherUser") == 0) said["otherUser"] = "0";
    for (const auto& [name, count] : said) EXPECT_EQ(At("summary." + name), count) << line << ": " << name;
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
    if (user.find('\\') == std::string::npos) {  // a record writes the name's backslash escaped
      EXPECT_EQ(At(member + "userName"), user) << line;
    } else {
      EXPECT_NE(At(member + "userName"), "null") << line;
    }
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
      const std::string field = tokens[i].substr(0, equals), word = tokens[i].substr(equals + 1);
      // Another user's member has no place in the removal order.
      EXPECT_EQ(At(member + paths.at(field)), field == "uninstall" && word == "leave" ? "null" : word) << line;
    }
  }

  void Outcome(const std::string& line, const std::string& member, const std::vector<std::string>& tokens,
               const std::string& tail) const {
    std::string result = tokens[2];
    if (result == "kept" || (result == "removed" && tokens.size() > 3 && tokens[3] == "from-copy")) {
      result += "-" + tokens[3];
    }
    EXPECT_EQ(At(member + "result"), result) << line;
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
  std::size_t members = 0, families = 0, withoutFamily = 0, familyMembers = 0;
  std::string family;  // while a family's members follow its record: "families.N."
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("summary: ", 0) == 0) {
      agreement.Summary(line);
    } else if (line.find(" family members=") != std::string::npos) {
      family = "families." + std::to_string(families++) + ".";
      familyMembers = 0;
      agreement.Family(line, family);
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
}

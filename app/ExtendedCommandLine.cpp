#include "app/ExtendedCommandLine.h"

#include <string_view>
#include <vector>

#include "app/ExitCodes.h"
#include "app/HelpSwitches.h"
#include "app/ReportText.h"
#include "app/ReportWriter.h"
#include "common/AsciiCase.h"
#include "installer/Installer.h"
#include "products/ProductFamily.h"
#include "security/UserInfo.h"

namespace {

constexpr std::wstring_view kListSwitch = L"/list";
constexpr std::wstring_view kHideSwitch = L"/hideoldaddremoves";
constexpr std::wstring_view kUninstallSwitch = L"/uninstall";
constexpr std::wstring_view kReportSwitch = L"/report";
constexpr std::wstring_view kKeepNewestSwitch = L"/keepnewest";
// Written in lower case only, as the classic command line has it.
constexpr std::wstring_view kUpgradeCodeSwitch = L"/u:";
// Recognised as new switches; what they do comes with the log and the wait.
constexpr std::wstring_view kLogSwitch = L"/log:";
constexpr std::wstring_view kWaitSwitch = L"/wait:";

constexpr std::size_t kGuidLength = 38;
constexpr std::size_t kGuidDashes[] = {9, 14, 19, 24};

bool StartsWithIgnoringAsciiCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

bool IsHexDigit(wchar_t character) {
  return (character >= L'0' && character <= L'9') || (character >= L'a' && character <= L'f') ||
         (character >= L'A' && character <= L'F');
}

// Sets flag; false when it was set already (each argument at most once).
bool SetOnce(bool& flag) {
  const bool first = !flag;
  flag = true;
  return first;
}

}  // namespace

bool IsBracedGuid(std::wstring_view text) noexcept {
  if (text.size() != kGuidLength || text.front() != L'{' || text.back() != L'}') {
    return false;
  }
  for (std::size_t i = 1; i + 1 < kGuidLength; ++i) {
    const bool dash = i == kGuidDashes[0] || i == kGuidDashes[1] || i == kGuidDashes[2] ||
                      i == kGuidDashes[3];
    if (dash ? text[i] != L'-' : !IsHexDigit(text[i])) {
      return false;
    }
  }
  return true;
}

bool ExtendedCommandLine::HasNewSwitch(int argumentCount, const wchar_t* const* arguments) {
  for (int i = 1; i < argumentCount; ++i) {
    const std::wstring_view argument = arguments[i];
    if (EqualsIgnoringAsciiCase(argument, kListSwitch) ||
        EqualsIgnoringAsciiCase(argument, kReportSwitch) ||
        EqualsIgnoringAsciiCase(argument, kKeepNewestSwitch) ||
        StartsWithIgnoringAsciiCase(argument, kLogSwitch) ||
        StartsWithIgnoringAsciiCase(argument, kWaitSwitch)) {
      return true;
    }
  }
  return false;
}

void ExtendedCommandLine::Parse(int argumentCount, const wchar_t* const* arguments) {
  action_ = ExtendedAction::kNone;
  report_ = false;
  keepNewest_ = false;
  help_ = false;
  upgradeCode_.clear();
  bool helpAsked = false;
  bool unknown = false;
  bool repeated = false;
  bool upgradeCodeGiven = false;
  bool upgradeCodeMalformed = false;
  bool notYetSupported = false;
  bool list = false, hide = false, uninstall = false;
  for (int i = 1; i < argumentCount; ++i) {
    const std::wstring_view argument = arguments[i];
    bool first = true;
    if (IsHelpSwitch(argument)) {
      helpAsked = true;
    } else if (EqualsIgnoringAsciiCase(argument, kListSwitch)) {
      first = SetOnce(list);
    } else if (EqualsIgnoringAsciiCase(argument, kHideSwitch)) {
      first = SetOnce(hide);
    } else if (EqualsIgnoringAsciiCase(argument, kUninstallSwitch)) {
      first = SetOnce(uninstall);
    } else if (EqualsIgnoringAsciiCase(argument, kReportSwitch)) {
      first = SetOnce(report_);
    } else if (EqualsIgnoringAsciiCase(argument, kKeepNewestSwitch)) {
      first = SetOnce(keepNewest_);
    } else if (argument.substr(0, kUpgradeCodeSwitch.size()) == kUpgradeCodeSwitch) {
      first = SetOnce(upgradeCodeGiven);
      const std::wstring_view value = argument.substr(kUpgradeCodeSwitch.size());
      upgradeCodeMalformed = upgradeCodeMalformed || !IsBracedGuid(value);
      upgradeCode_ = value;
    } else if (StartsWithIgnoringAsciiCase(argument, kLogSwitch) ||
               StartsWithIgnoringAsciiCase(argument, kWaitSwitch)) {
      notYetSupported = true;
    } else {
      unknown = true;
    }
    repeated = repeated || !first;
  }
  if (helpAsked && !unknown) {
    help_ = true;
    valid_ = true;
    return;
  }
  const int actions = (list ? 1 : 0) + (hide ? 1 : 0) + (uninstall ? 1 : 0);
  action_ = list ? ExtendedAction::kList
            : hide ? ExtendedAction::kHideOld
            : uninstall ? ExtendedAction::kUninstall
                        : ExtendedAction::kNone;
  valid_ = !unknown && !repeated && !notYetSupported && actions == 1 && upgradeCodeGiven &&
           !upgradeCodeMalformed && (!keepNewest_ || uninstall);
}

int ExtendedCommandLine::Run() const {
  ReportWriter report;
  return Run(installer::SystemInstaller(), report);
}

int ExtendedCommandLine::Run(installer::Installer& installer, ReportWriter& report) const {
  if (!IsValid()) {
    return kExitBadArguments;
  }
  if (help_) {
    return kExitSuccess;
  }
  if (!UserInfo().CheckAdministrator()) {
    return kExitAccessDenied;
  }
  return RunAction(installer, report);
}

int ExtendedCommandLine::RunAction(installer::Installer& installer, ReportWriter& report) const {
  ProductFamily family(installer, upgradeCode_);
  if (action_ == ExtendedAction::kList) {
    const std::vector<MemberListing> members = family.List();
    for (const MemberListing& member : members) {
      report.WriteLine(ListingLine(member));
    }
    if (members.empty()) {
      report.WriteLine(NoMembersLine(upgradeCode_));
    }
    return kExitSuccess;
  }
  const bool hiding = action_ == ExtendedAction::kHideOld;
  const std::vector<MemberOutcome> outcomes =
      hiding ? family.HideOldProductsWithOutcomes() : family.UninstallAllWithOutcomes(keepNewest_);
  const int exitCode = ResultExitCode(outcomes);
  if (report_) {
    for (const MemberOutcome& outcome : outcomes) {
      report.WriteLine(OutcomeLine(outcome));
    }
    report.WriteLine(hiding ? HideSummaryLine(outcomes, exitCode)
                            : RemovalSummaryLine(outcomes, exitCode));
  }
  return exitCode;
}

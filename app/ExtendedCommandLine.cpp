#include "app/ExtendedCommandLine.h"

#include <windows.h>

#include <optional>
#include <string_view>
#include <vector>

#include "app/ExitCodes.h"
#include "app/HelpSwitches.h"
#include "app/ReportText.h"
#include "app/ReportWriter.h"
#include "app/RunGates.h"
#include "app/RunLog.h"
#include "common/AsciiCase.h"
#include "common/ConsoleWrite.h"
#include "common/SystemMessage.h"
#include "installer/Installer.h"
#include "products/InstallerWait.h"
#include "products/ProductFamily.h"

namespace {

constexpr std::wstring_view kListSwitch = L"/list";
constexpr std::wstring_view kHideSwitch = L"/hideoldaddremoves";
constexpr std::wstring_view kUninstallSwitch = L"/uninstall";
constexpr std::wstring_view kReportSwitch = L"/report";
constexpr std::wstring_view kKeepNewestSwitch = L"/keepnewest";
// Written in lower case only, as the classic command line has it.
constexpr std::wstring_view kUpgradeCodeSwitch = L"/u:";
// Switches with a value: it is everything after the first colon.
constexpr std::wstring_view kLogSwitch = L"/log:";
constexpr std::wstring_view kWaitSwitch = L"/wait:";
constexpr unsigned long kLongestWaitSeconds = 86400;
constexpr int kExitLogNotOpened = 110;  // ERROR_OPEN_FAILED

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

// A whole number of seconds from 0 to kLongestWaitSeconds, digits only; nullopt otherwise.
std::optional<unsigned long> ParseWaitSeconds(std::wstring_view text) {
  if (text.empty() || text.size() > 5) {
    return std::nullopt;
  }
  unsigned long seconds = 0;
  for (const wchar_t digit : text) {
    if (digit < L'0' || digit > L'9') {
      return std::nullopt;
    }
    seconds = seconds * 10 + static_cast<unsigned long>(digit - L'0');
  }
  return seconds <= kLongestWaitSeconds ? std::optional<unsigned long>(seconds) : std::nullopt;
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
  logFile_.clear();
  waitSeconds_.reset();
  commandLine_ = JoinArguments(argumentCount, arguments);
  startTick_ = GetTickCount();
  bool helpAsked = false;
  bool unknown = false;
  bool repeated = false;
  bool upgradeCodeGiven = false;
  bool upgradeCodeMalformed = false;
  bool logGiven = false;
  bool waitGiven = false;
  bool valueMalformed = false;
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
    } else if (StartsWithIgnoringAsciiCase(argument, kLogSwitch)) {
      first = SetOnce(logGiven);
      logFile_ = argument.substr(kLogSwitch.size());
      valueMalformed = valueMalformed || logFile_.empty();
    } else if (StartsWithIgnoringAsciiCase(argument, kWaitSwitch)) {
      first = SetOnce(waitGiven);
      waitSeconds_ = ParseWaitSeconds(argument.substr(kWaitSwitch.size()));
      valueMalformed = valueMalformed || !waitSeconds_;
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
  valid_ = !unknown && !repeated && !valueMalformed && actions == 1 && upgradeCodeGiven &&
           !upgradeCodeMalformed && (!keepNewest_ || uninstall) && (!waitGiven || uninstall);
}

int ExtendedCommandLine::Run(installer::Installer& installer, ReportWriter& report) const {
  if (const std::optional<int> gateExitCode = GateExitCode(IsValid(), help_)) {
    return *gateExitCode;
  }
  RunLog log;
  if (!logFile_.empty()) {
    std::wstring failure;
    if (!log.Open(logFile_, failure)) {
      WriteText(StandardStream::kError,
                L"Cannot open the log file " + logFile_ + L": " + failure + L"\n");
      return kExitLogNotOpened;
    }
    log.WriteHeader(commandLine_);
    report.AttachLog(&log);
  }
  report.ShowOnConsole(report_ || action_ == ExtendedAction::kList);
  const int exitCode = RunAction(installer, report, log);
  if (!logFile_.empty()) {
    log.WriteRecord(L"exit code " + std::to_wstring(exitCode));
  }
  report.AttachLog(nullptr);
  return exitCode;
}

int ExtendedCommandLine::RunAction(installer::Installer& installer, ReportWriter& report,
                                   RunLog& log) const {
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
  // Each member's line goes out as soon as it is done, so a log's time stamps say when.
  const OutcomeSink writeLine = [&report](const MemberOutcome& outcome) {
    report.WriteLine(OutcomeLine(outcome));
  };
  const bool hiding = action_ == ExtendedAction::kHideOld;
  std::vector<MemberOutcome> outcomes;
  if (hiding) {
    outcomes = family.HideOldProductsWithOutcomes(writeLine);
  } else {
    std::optional<InstallerWait> wait;
    if (waitSeconds_) {
      wait.emplace(startTick_, *waitSeconds_, InstallerWait::kRetryPauseMilliseconds,
                   [&log](unsigned long error) {
                     log.WriteRecord(L"cannot tell whether another installation runs (the "
                                     L"installer's execution mutex: " +
                                     SystemErrorText(error) +
                                     L"); a removal the installer answers as busy is retried");
                   });
    }
    RemovalOptions options;
    options.keepNewest = keepNewest_;
    options.wait = wait ? &*wait : nullptr;
    if (!logFile_.empty()) {
      options.installerLogPath = [&log](const std::wstring& productCode) {
        return log.InstallerLogPath(productCode);
      };
    }
    options.onOutcome = writeLine;
    outcomes = family.UninstallAllWithOutcomes(options);
  }
  const int exitCode = ResultExitCode(outcomes);
  report.WriteLine(hiding ? HideSummaryLine(outcomes, exitCode)
                          : RemovalSummaryLine(outcomes, exitCode));
  return exitCode;
}

#include "app/ExtendedCommandLine.h"

#include "app/HelpSwitches.h"
#include "common/AsciiCase.h"
#include "common/GuidText.h"

namespace {

constexpr std::wstring_view kListSwitch = L"/list";
constexpr std::wstring_view kFamiliesSwitch = L"/families";
constexpr std::wstring_view kHideSwitch = L"/hideoldaddremoves";
constexpr std::wstring_view kShowSwitch = L"/showaddremoves";
constexpr std::wstring_view kUninstallSwitch = L"/uninstall";
constexpr std::wstring_view kReportSwitch = L"/report";
constexpr std::wstring_view kKeepNewestSwitch = L"/keepnewest";
constexpr std::wstring_view kJsonSwitch = L"/json";
// Written in lower case only, as the classic command line has it.
constexpr std::wstring_view kUpgradeCodeSwitch = L"/u:";
// Switches with a value: it is everything after the first colon.
constexpr std::wstring_view kLogSwitch = L"/log:";
constexpr std::wstring_view kWaitSwitch = L"/wait:";
constexpr std::wstring_view kFindSwitch = L"/find:";
constexpr unsigned long kLongestWaitSeconds = 86400;

bool StartsWithIgnoringAsciiCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
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

bool HasNewSwitch(int argumentCount, const wchar_t* const* arguments) {
  for (int i = 1; i < argumentCount; ++i) {
    const std::wstring_view argument = arguments[i];
    if (EqualsIgnoringAsciiCase(argument, kListSwitch) ||
        EqualsIgnoringAsciiCase(argument, kFamiliesSwitch) ||
        EqualsIgnoringAsciiCase(argument, kShowSwitch) ||
        EqualsIgnoringAsciiCase(argument, kReportSwitch) ||
        EqualsIgnoringAsciiCase(argument, kKeepNewestSwitch) ||
        EqualsIgnoringAsciiCase(argument, kJsonSwitch) ||
        StartsWithIgnoringAsciiCase(argument, kLogSwitch) ||
        StartsWithIgnoringAsciiCase(argument, kWaitSwitch) ||
        StartsWithIgnoringAsciiCase(argument, kFindSwitch)) {
      return true;
    }
  }
  return false;
}

std::optional<ExtendedOptions> ParseExtendedCommandLine(int argumentCount,
                                                        const wchar_t* const* arguments) {
  ExtendedOptions options;
  options.commandLine = JoinArguments(argumentCount, arguments);
  bool helpAsked = false;
  bool unknown = false;
  bool repeated = false;
  bool upgradeCodeGiven = false;
  bool upgradeCodeMalformed = false;
  bool logGiven = false;
  bool waitGiven = false;
  bool findGiven = false;
  bool valueMalformed = false;
  bool list = false, hide = false, uninstall = false, families = false, show = false;
  for (int i = 1; i < argumentCount; ++i) {
    const std::wstring_view argument = arguments[i];
    bool first = true;
    if (IsHelpSwitch(argument)) {
      helpAsked = true;
    } else if (EqualsIgnoringAsciiCase(argument, kListSwitch)) {
      first = SetOnce(list);
    } else if (EqualsIgnoringAsciiCase(argument, kFamiliesSwitch)) {
      first = SetOnce(families);
    } else if (EqualsIgnoringAsciiCase(argument, kHideSwitch)) {
      first = SetOnce(hide);
    } else if (EqualsIgnoringAsciiCase(argument, kShowSwitch)) {
      first = SetOnce(show);
    } else if (EqualsIgnoringAsciiCase(argument, kUninstallSwitch)) {
      first = SetOnce(uninstall);
    } else if (EqualsIgnoringAsciiCase(argument, kReportSwitch)) {
      first = SetOnce(options.report);
    } else if (EqualsIgnoringAsciiCase(argument, kKeepNewestSwitch)) {
      first = SetOnce(options.keepNewest);
    } else if (EqualsIgnoringAsciiCase(argument, kJsonSwitch)) {
      first = SetOnce(options.json);
    } else if (argument.substr(0, kUpgradeCodeSwitch.size()) == kUpgradeCodeSwitch) {
      first = SetOnce(upgradeCodeGiven);
      const std::wstring_view value = argument.substr(kUpgradeCodeSwitch.size());
      upgradeCodeMalformed = upgradeCodeMalformed || !IsBracedGuid(value);
      options.upgradeCode = CanonicalGuid(value);
    } else if (StartsWithIgnoringAsciiCase(argument, kLogSwitch)) {
      first = SetOnce(logGiven);
      options.logFile = argument.substr(kLogSwitch.size());
      valueMalformed = valueMalformed || options.logFile.empty();
    } else if (StartsWithIgnoringAsciiCase(argument, kFindSwitch)) {
      first = SetOnce(findGiven);
      options.findText = argument.substr(kFindSwitch.size());
      valueMalformed = valueMalformed || options.findText.empty();
    } else if (StartsWithIgnoringAsciiCase(argument, kWaitSwitch)) {
      first = SetOnce(waitGiven);
      options.waitSeconds = ParseWaitSeconds(argument.substr(kWaitSwitch.size()));
      valueMalformed = valueMalformed || !options.waitSeconds;
    } else {
      unknown = true;
    }
    repeated = repeated || !first;
  }
  if (helpAsked && !unknown) {
    ExtendedOptions help;
    help.help = true;
    return help;
  }
  const int actions =
      (list ? 1 : 0) + (hide ? 1 : 0) + (uninstall ? 1 : 0) + (families ? 1 : 0) + (show ? 1 : 0);
  // /families asks about every family: it takes no upgrade code, and only it takes /find:.
  const bool valid = !unknown && !repeated && !valueMalformed && actions == 1 &&
                     upgradeCodeGiven != families && !upgradeCodeMalformed &&
                     (!options.keepNewest || uninstall) && (!waitGiven || uninstall) &&
                     (!findGiven || families);
  if (!valid) {
    return std::nullopt;
  }
  options.action = list       ? ExtendedAction::kList
                   : hide     ? ExtendedAction::kHideOld
                   : families ? ExtendedAction::kFamilies
                   : show     ? ExtendedAction::kShow
                              : ExtendedAction::kUninstall;
  return options;
}

std::wstring JoinArguments(int argumentCount, const wchar_t* const* arguments) {
  std::wstring line;
  for (int i = 0; i < argumentCount; ++i) {
    const std::wstring_view argument = arguments[i];
    if (i > 0) {
      line += L' ';
    }
    if (argument.empty() || argument.find_first_of(L" \t\"") != std::wstring_view::npos) {
      line += L'"';
      line += argument;
      line += L'"';
    } else {
      line += argument;
    }
  }
  return line;
}

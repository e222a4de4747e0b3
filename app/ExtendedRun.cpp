#include "app/ExtendedRun.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

#include "app/ExitCodes.h"
#include "app/ExtendedCommandLine.h"
#include "app/JsonDocument.h"
#include "app/ReportText.h"
#include "app/ReportWriter.h"
#include "app/RunLog.h"
#include "app/RunResult.h"
#include "common/ConsoleWrite.h"
#include "common/SystemMessage.h"
#include "products/InstalledFamilies.h"
#include "products/InstallerWait.h"
#include "products/ProductFamily.h"
#include "registry/UpgradeCodeRegistrations.h"
#include "security/UserInfo.h"

namespace {

// The run's context for its action.
struct ActionRun {
  const ExtendedOptions& options;
  installer::Installer& installer;
  ReportWriter& report;
  RunLog& log;
  unsigned long startTick;  // the /wait: deadline counts from here
};

void LogGaps(RunLog& log, std::wstring_view upgradeCode, const EnumerationGaps& gaps) {
  for (const SkippedEntry& entry : gaps.skipped) {
    log.WriteRecord(SkippedEntryRecord(upgradeCode, entry));
  }
  if (gaps.readShort) {
    log.WriteRecord(ReadShortRecord(upgradeCode, gaps));
  }
}

void Stop(RunResult& result, int exitCode, const std::wstring& message) {
  result.exitCode = exitCode;
  result.error = RunError{exitCode, message};
}

void ListFamily(const ActionRun& run, ProductFamily& family, RunResult& result) {
  result.listing = family.List();
  for (const MemberListing& member : result.listing) {
    run.report.WriteLine(ListingLine(member));
  }
  result.summary = RunSummary{};
  result.summary->members = result.listing.size();
  result.summary->otherUser = static_cast<std::size_t>(
      std::count_if(result.listing.begin(), result.listing.end(), [](const MemberListing& member) {
        return member.context == MemberIdentity::Context::kOtherUser;
      }));
  result.exitCode = kExitSuccess;
  // Of part of a family, neither "no members" nor "no visible entry" can be said.
  const EnumerationGaps& gaps = family.enumerationGaps();
  if (gaps.readShort) {
    result.readShort.push_back({run.options.upgradeCode, gaps.bound});
    run.report.WriteLine(ReadShortLine(run.options.upgradeCode, gaps.bound));
    result.summary->readShort = 1;
    result.exitCode = kExitInstallFailure;
    return;
  }
  if (result.listing.empty()) {
    run.report.WriteLine(NoMembersLine(run.options.upgradeCode));
  }
  if (family.ShowsNoEntryButCould()) {
    run.report.WriteLine(NoVisibleEntryLine(run.options.upgradeCode));
  }
}

// An action over a family read short changes nothing: the newest member cannot be known from part
// of a family, and a removal of part of it would report a family removed that is not.
void StopReadShort(const ActionRun& run, const EnumerationGaps& gaps, RunResult& result) {
  result.readShort.push_back({run.options.upgradeCode, gaps.bound});
  run.report.WriteLine(ReadShortLine(run.options.upgradeCode, gaps.bound));
  Stop(result, kExitInstallFailure, ReadShortMessage(run.options.upgradeCode, gaps.bound));
  run.report.WriteLine(ReadShortSummaryLine(result.exitCode));
  WriteText(StandardStream::kError, result.error->message + L"\n");
}

void ListFamilies(const ActionRun& run, RunResult& result) {
  const UpgradeCodeRegistrations registrations = ReadUpgradeCodeRegistrations();
  if (registrations.skippedKeys > 0 || registrations.skippedValues > 0) {
    run.log.WriteRecord(L"skipped in the installer's UpgradeCodes registration, not packed GUIDs: " +
                        std::to_wstring(registrations.skippedKeys) + L" keys, " +
                        std::to_wstring(registrations.skippedValues) + L" values");
  }
  result.installed = ListInstalledFamilies(run.installer, registrations.upgradeCodes);
  for (const auto& [upgradeCode, gaps] : result.installed.gaps) {
    LogGaps(run.log, upgradeCode, gaps);
    if (gaps.readShort) {
      result.readShort.push_back({upgradeCode, gaps.bound});
    }
  }
  if (result.installed.staleMembers > 0) {
    run.log.WriteRecord(L"left out: " + std::to_wstring(result.installed.staleMembers) +
                        L" registered members the installer finds installed in no context");
  }
  if (!run.options.findText.empty()) {
    KeepNamesContaining(result.installed, run.options.findText);
  }
  for (const FamilyListing& family : result.installed.families) {
    run.report.WriteLine(FamilyLine(family));
    for (const ProductListing& member : family.members) {
      run.report.WriteLine(FamilyMemberLine(member));
    }
  }
  for (const ProductListing& product : result.installed.withoutFamily) {
    run.report.WriteLine(WithoutFamilyLine(product));
  }
  for (const InstallerEntry& entry : result.installed.orphanedEntries) {
    run.report.WriteLine(OrphanedEntryLine(entry));
  }
  for (const ShortEnumeration& enumeration : result.readShort) {
    run.report.WriteLine(ReadShortLine(enumeration.upgradeCode, enumeration.indexes));
  }
  result.summary = Summarize(result.installed);
  // No success over a family the run could not read.
  result.exitCode = result.summary->readShort > 0 ? kExitInstallFailure : kExitSuccess;
  run.report.WriteLine(FamiliesSummaryLine(*result.summary, result.exitCode));
}

std::vector<MemberOutcome> RemoveFamily(const ActionRun& run, ProductFamily& family,
                                        const OutcomeSink& onOutcome) {
  std::optional<InstallerWait> wait;
  if (run.options.waitSeconds) {
    RunLog& log = run.log;
    wait.emplace(run.startTick, *run.options.waitSeconds, InstallerWait::kRetryPauseMilliseconds,
                 [&log](unsigned long error) {
                   log.WriteRecord(L"cannot tell whether another installation runs (the "
                                   L"installer's execution mutex: " +
                                   SystemErrorText(error) +
                                   L"); a removal the installer answers as busy is retried");
                 });
  }
  RemovalOptions options;
  options.keepNewest = run.options.keepNewest;
  options.policy.wait = wait ? &*wait : nullptr;
  if (!run.options.logFile.empty()) {
    const RunLog& log = run.log;
    options.policy.installerLogPath = [&log](const std::wstring& productCode) {
      return log.InstallerLogPath(productCode);
    };
  }
  options.onOutcome = onOutcome;
  return family.UninstallAllWithOutcomes(options);
}

void RunAction(const ActionRun& run, RunResult& result) {
  if (run.options.action == ExtendedAction::kFamilies) {
    ListFamilies(run, result);
    return;
  }
  ProductFamily family(run.installer, run.options.upgradeCode);
  LogGaps(run.log, run.options.upgradeCode, family.enumerationGaps());
  if (run.options.action == ExtendedAction::kList) {
    ListFamily(run, family, result);
    return;
  }
  if (family.enumerationGaps().readShort) {
    StopReadShort(run, family.enumerationGaps(), result);
    return;
  }
  // Read before the action: a removed member can no longer be asked.
  result.members = family.Describe();
  // Each member's line goes out as soon as it is done, so a log's time stamps say when; and each
  // outcome is in the result at once, so a run stopped by an exception still tells what was done.
  ReportWriter& report = run.report;
  const OutcomeSink record = [&report, &result](const MemberOutcome& outcome) {
    report.WriteLine(OutcomeLine(outcome));
    result.outcomes.push_back(outcome);
  };
  // What the family returns is what record was told.
  const ExtendedAction action = run.options.action;
  static_cast<void>(action == ExtendedAction::kHideOld ? family.HideOldProductsWithOutcomes(record)
                    : action == ExtendedAction::kShow  ? family.ShowEntriesWithOutcomes(record)
                                                       : RemoveFamily(run, family, record));
  result.summary = Summarize(result.outcomes);
  result.exitCode = ResultExitCode(*result.summary);
  report.WriteLine(action == ExtendedAction::kHideOld ? HideSummaryLine(*result.summary, result.exitCode)
                   : action == ExtendedAction::kShow  ? ShowSummaryLine(*result.summary, result.exitCode)
                                                      : RemovalSummaryLine(*result.summary, result.exitCode));
}

}  // namespace

int RunExtendedCommandLine(const ExtendedOptions& options, installer::Installer& installer) {
  const unsigned long startTick = GetTickCount();
  RunResult result;
  RunLog log;
  ReportWriter report;
  std::wstring failure;
  if (!UserInfo().CheckAdministrator()) {
    std::wstring message = PrivilegeErrorText();
    message.pop_back();  // the last line end
    Stop(result, kExitAccessDenied, message);
  } else if (!options.logFile.empty() && !log.Open(options.logFile, failure)) {
    Stop(result, kExitLogNotOpened, L"Cannot open the log file " + options.logFile + L": " + failure);
    WriteText(StandardStream::kError, result.error->message + L"\n");
  } else {
    if (!options.logFile.empty()) {
      log.WriteHeader(options.commandLine);
      report.AttachLog(&log);
    }
    report.ShowOnConsole(!options.json && (options.report || options.action == ExtendedAction::kList ||
                                           options.action == ExtendedAction::kFamilies));
    try {
      RunAction({options, installer, report, log, startTick}, result);
    } catch (...) {
      Stop(result, kExitInstallFailure, StoppedRunMessage());
      result.summary.reset();
      WriteText(StandardStream::kError, result.error->message + L"\n");
    }
    log.WriteRecord(L"exit code " + std::to_wstring(result.exitCode));
  }
  if (options.json) {
    WriteText(StandardStream::kOutput, JsonDocument(options, result));
  }
  return result.exitCode;
}

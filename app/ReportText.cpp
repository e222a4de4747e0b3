#include "app/ReportText.h"

#include "app/RunResult.h"
#include "common/SystemMessage.h"
#include "common/UnicodeText.h"

namespace {

// An empty version string still takes its column, so every record has the same first fields.
constexpr std::wstring_view kNoVersion = L"-";

// The spaces a script's split on white space breaks a field at (.NET's \s among them).
bool IsSpace(wchar_t character) {
  return character == L' ' || character == 0xA0 || character == 0x1680 ||
         (character >= 0x2000 && character <= 0x200A) || character == 0x202F ||
         character == 0x205F || character == 0x3000 || character == 0xFEFF;
}

std::wstring Head(const std::wstring& productCode, const std::wstring& versionString) {
  std::wstring line = productCode;
  line += L' ';
  line += versionString.empty() ? std::wstring(kNoVersion)
                                : EscapeForRecord(versionString, /*oneToken=*/true);
  return line;
}

std::wstring EnumerationName(std::wstring_view upgradeCode) {
  return upgradeCode.empty() ? std::wstring(L"the installer's list of every installed product")
                             : L"the installer's list of " + std::wstring(upgradeCode) + L"'s members";
}

const wchar_t* ViewWord(EntryView view) { return view == EntryView::k32 ? L"32-bit" : L"64-bit"; }

// The views of a hide or show outcome that ended in state, each as " 32-bit" or " 64-bit", with
// " error=N" after it when asked.
template <typename Outcome, typename State>
void AppendViews(std::wstring& line, const Outcome& outcome, State state, bool withError) {
  const std::pair<EntryView, decltype(&outcome.view32)> views[] = {{EntryView::k32, &outcome.view32},
                                                                    {EntryView::k64, &outcome.view64}};
  for (const auto& [view, viewOutcome] : views) {
    if (viewOutcome->state != state) {
      continue;
    }
    line += L' ';
    line += ViewWord(view);
    if (withError) {
      line += L" error=" + std::to_wstring(viewOutcome->error);
    }
  }
}

std::wstring HideLine(const MemberOutcome& outcome) {
  std::wstring line = Head(outcome.productCode, outcome.versionString);
  const HideOutcome& hide = outcome.hide;
  if (hide.AnyFailed()) {
    line += L" not-hidden";
    AppendViews(line, hide, ViewHideOutcome::State::kNotHidden, /*withError=*/true);
  }
  // A view that was hidden follows the failed one.
  if (hide.AnyHidden()) {
    line += L" hidden";
    AppendViews(line, hide, ViewHideOutcome::State::kHidden, /*withError=*/false);
  }
  if (!hide.AnyFailed() && !hide.AnyHidden()) {
    line += L" no-entry";
  }
  return line;
}

std::wstring ShowLine(const MemberOutcome& outcome) {
  using State = ViewShowOutcome::State;
  const ShowOutcome& show = outcome.show;
  std::wstring line = Head(outcome.productCode, outcome.versionString) + L' ' + ShowResultWord(show);
  if (show.Any(State::kNotShown)) {
    AppendViews(line, show, State::kNotShown, /*withError=*/true);
    // A view that was shown follows the failed one.
    if (show.Any(State::kShown)) {
      line += L" shown";
    }
  }
  AppendViews(line, show, State::kShown, /*withError=*/false);
  if (show.kept == ShowOutcome::Kept::kByPackage) {
    line += L" by-package";
  } else if (show.kept == ShowOutcome::Kept::kCannotTell) {
    line += L" cannot-tell record-error=" + std::to_wstring(show.recordError) +
            L" package-error=" + std::to_wstring(show.packageError);
  }
  return line;
}

std::wstring RemovalLine(const MemberOutcome& outcome) {
  std::wstring line = Head(outcome.productCode, outcome.versionString);
  const RemovalOutcome& removal = outcome.removal;
  switch (removal.state) {
    case RemovalOutcome::State::kRemoved:
      line += L" removed";
      break;
    case RemovalOutcome::State::kRemovedFromCopy:
      line += L" removed from-copy";
      break;
    case RemovalOutcome::State::kNotRemoved:
      line += L" not-removed error=" + std::to_wstring(removal.removalError);
      line += removal.copyRan ? L" copy-error=" + std::to_wstring(removal.copyError)
                              : std::wstring(L" no-copy");
      break;
    case RemovalOutcome::State::kBlocked:
      line += L" blocked";
      break;
    case RemovalOutcome::State::kGone:
      line += L" gone";
      break;
  }
  if (removal.restartNeeded) {
    line += L" restart-needed";
  }
  // Last, since a path may hold spaces.
  if (!removal.installerLog.empty()) {
    line += L" log=" + removal.installerLog;
  }
  return line;
}

std::wstring Count(std::size_t count, const wchar_t* word) {
  return std::to_wstring(count) + L' ' + word;
}

// " sid=S-1-5-21-... user=DOMAIN\u005Cname": whose install another user's member is; without
// user= when the SID names no account this machine resolves.
std::wstring UserFields(const std::wstring& userSid, const std::optional<std::wstring>& userName) {
  std::wstring fields = L" sid=" + EscapeForRecord(userSid, /*oneToken=*/true);
  if (userName) {
    fields += L" user=" + EscapeForRecord(*userName, /*oneToken=*/true);
  }
  return fields;
}

// ", 2 other-user" when a run left another user's members, so that other machines' lines stay as
// they were.
std::wstring OtherUserCount(const RunSummary& summary) {
  return summary.otherUser > 0 ? L", " + Count(summary.otherUser, L"other-user") : L"";
}

}  // namespace

const wchar_t* EntryWord(EntryState state) {
  switch (state) {
    case EntryState::kVisible:
      return L"visible";
    case EntryState::kHidden:
      return L"hidden";
    case EntryState::kNone:
      break;
  }
  return L"none";
}

const wchar_t* ContextWord(MemberIdentity::Context context) {
  switch (context) {
    case MemberIdentity::Context::kPerMachine:
      return L"per-machine";
    case MemberIdentity::Context::kPerUser:
      return L"per-user";
    case MemberIdentity::Context::kOtherUser:
      return L"other-user";
    case MemberIdentity::Context::kUnknown:
      break;
  }
  return nullptr;
}

namespace {

std::wstring Escape(std::wstring_view text, bool oneToken, bool backslash) {
  std::wstring escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t character = text[i];
    if (IsHighSurrogate(character) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      escaped += character;
      escaped += text[++i];
    } else if (IsControlOrSeparator(character) || IsHighSurrogate(character) ||
               IsLowSurrogate(character) || (oneToken && IsSpace(character)) ||
               (backslash && character == L'\\')) {
      AppendUnicodeEscape(escaped, character);
    } else {
      escaped += character;
    }
  }
  return escaped;
}

}  // namespace

std::wstring EscapeForRecord(std::wstring_view text, bool oneToken) {
  return Escape(text, oneToken, /*backslash=*/true);
}

std::wstring EscapeCommandLine(std::wstring_view commandLine) {
  return Escape(commandLine, /*oneToken=*/false, /*backslash=*/false);
}

const wchar_t* ShowResultWord(const ShowOutcome& show) {
  using State = ViewShowOutcome::State;
  return show.Any(State::kNotShown)     ? L"not-shown"
         : show.Any(State::kKeptHidden) ? L"kept-hidden"
         : show.Any(State::kShown)      ? L"shown"
         : show.Any(State::kVisible)    ? L"already-visible"
                                        : L"no-entry";
}

std::wstring OutcomeLine(const MemberOutcome& outcome) {
  switch (outcome.kind) {
    case MemberOutcome::Kind::kShow:
      return ShowLine(outcome);
    case MemberOutcome::Kind::kHide:
      return HideLine(outcome);
    case MemberOutcome::Kind::kKeptNewest:
      return Head(outcome.productCode, outcome.versionString) + L" kept newest";
    case MemberOutcome::Kind::kRemoval:
      return RemovalLine(outcome);
    case MemberOutcome::Kind::kOtherUser:
      return Head(outcome.productCode, outcome.versionString) + L" other-user" +
             UserFields(outcome.userSid, outcome.userName);
    case MemberOutcome::Kind::kKeptByKeepNewest:
      break;
  }
  return Head(outcome.productCode, outcome.versionString) + L" kept keepnewest";
}

std::wstring HideSummaryLine(const RunSummary& summary, int exitCode) {
  return L"summary: " + Count(summary.members, L"members, ") + Count(summary.hidden, L"hidden, ") +
         Count(summary.kept, L"kept, ") + Count(summary.noEntry, L"no-entry, ") +
         Count(summary.failed, L"failed") + OtherUserCount(summary) + L"; exit code " +
         std::to_wstring(exitCode);
}

std::wstring ShowSummaryLine(const RunSummary& summary, int exitCode) {
  return L"summary: " + Count(summary.members, L"members, ") + Count(summary.shown, L"shown, ") +
         Count(summary.alreadyVisible, L"already-visible, ") + Count(summary.keptHidden, L"kept-hidden, ") +
         Count(summary.noEntry, L"no-entry, ") + Count(summary.failed, L"failed") + OtherUserCount(summary) +
         L"; exit code " + std::to_wstring(exitCode);
}

std::wstring RemovalSummaryLine(const RunSummary& summary, int exitCode) {
  // The blocked count shows only when a wait ran out, so lines of runs without /wait stay as they were.
  const std::wstring blockedCount =
      summary.blocked > 0 ? L", " + Count(summary.blocked, L"blocked") : L"";
  return L"summary: " + Count(summary.members, L"members, ") +
         Count(summary.removed, L"removed, ") + Count(summary.restartNeeded, L"restart-needed, ") +
         Count(summary.kept, L"kept, ") + Count(summary.failed, L"failed") + blockedCount +
         OtherUserCount(summary) + L"; exit code " + std::to_wstring(exitCode);
}

namespace {

// " per-machine 32-bit=visible 64-bit=none"
std::wstring ContextAndEntries(const ProductListing& product) {
  const wchar_t* const context = ContextWord(product.context);
  std::wstring fields = L" ";
  fields += context != nullptr ? context : L"unknown-context";
  if (product.context == MemberIdentity::Context::kOtherUser) {
    fields += UserFields(product.userSid, product.userName);
  }
  fields += L" 32-bit=";
  fields += EntryWord(product.entry32);
  fields += L" 64-bit=";
  fields += EntryWord(product.entry64);
  return fields;
}

std::wstring NameField(const ProductListing& product) {
  return L" name=" + EscapeForRecord(product.productName, /*oneToken=*/false);
}

}  // namespace

std::wstring ListingLine(const MemberListing& member) {
  std::wstring line = Head(member.productCode, member.versionString) + ContextAndEntries(member);
  if (member.context == MemberIdentity::Context::kOtherUser) {
    line += L" hide=leave uninstall=leave keepnewest=leave";  // no action of this run touches it
  } else {
    line += member.keptByHide ? L" hide=keep" : L" hide=hide";
    line += L" uninstall=" + std::to_wstring(member.removalPosition);
    line += member.keptByKeepNewest() ? L" keepnewest=keep" : L" keepnewest=remove";
  }
  return line + NameField(member);
}

std::wstring FamilyLine(const FamilyListing& family) {
  return family.upgradeCode + L" family members=" + std::to_wstring(family.members.size()) +
         L" visible-entries=" + std::to_wstring(family.VisibleEntries()) +
         (family.noVisibleEntry ? L" no-visible-entry" : L"");
}

std::wstring FamilyMemberLine(const ProductListing& product) {
  return Head(product.productCode, product.versionString) + ContextAndEntries(product) +
         NameField(product);
}

std::wstring WithoutFamilyLine(const ProductListing& product) {
  return Head(product.productCode, product.versionString) + L" without-family" +
         ContextAndEntries(product) + NameField(product);
}

std::wstring FamiliesSummaryLine(const RunSummary& summary, int exitCode) {
  return L"summary: " + Count(summary.families, L"families, ") + Count(summary.members, L"members, ") +
         Count(summary.withoutFamily, L"without-family, ") +
         Count(summary.severalVisibleEntries, L"several-visible-entries") +
         // Shown only when there is one, so that the lines of other machines stay as they were.
         (summary.noVisibleEntry > 0 ? L", " + Count(summary.noVisibleEntry, L"no-visible-entry") : L"") +
         OtherUserCount(summary) +
         (summary.orphanedEntries > 0 ? L", " + Count(summary.orphanedEntries, L"orphaned-entry") : L"") +
         (summary.readShort > 0 ? L", " + Count(summary.readShort, L"read-short") : L"") + L"; exit code " +
         std::to_wstring(exitCode);
}

std::wstring OrphanedEntryLine(const InstallerEntry& entry) {
  return Head(entry.productCode, entry.displayVersion) + L" orphaned-entry " +
         ViewWord(entry.view64 ? EntryView::k64 : EntryView::k32) + L" name=" +
         EscapeForRecord(entry.displayName, /*oneToken=*/false);
}

std::wstring NoMembersLine(std::wstring_view upgradeCode) {
  return std::wstring(upgradeCode) + L" no-members";
}

std::wstring NoVisibleEntryLine(std::wstring_view upgradeCode) {
  return std::wstring(upgradeCode) + L" no-visible-entry";
}

std::wstring SkippedEntryRecord(std::wstring_view upgradeCode, const SkippedEntry& entry) {
  std::wstring record = L"skipped index " + std::to_wstring(entry.index) + L" of " +
                        EnumerationName(upgradeCode) + L": ";
  if (entry.error != 0) {
    return record + SystemErrorText(entry.error);
  }
  return record + L"answered success with \"" + EscapeForRecord(entry.text, /*oneToken=*/false) +
         L"\", no new product code";
}

std::wstring ReadShortRecord(std::wstring_view upgradeCode, const EnumerationGaps& gaps) {
  return L"read short " + EnumerationName(upgradeCode) + L": no end within " + std::to_wstring(gaps.bound) +
         L" indexes";
}

std::wstring ReadShortLine(std::wstring_view upgradeCode, unsigned long indexes) {
  return (upgradeCode.empty() ? std::wstring(L"products") : std::wstring(upgradeCode)) +
         L" read-short indexes=" + std::to_wstring(indexes);
}

std::wstring ReadShortSummaryLine(int exitCode) {
  return L"summary: read-short, nothing changed; exit code " + std::to_wstring(exitCode);
}

std::wstring ReadShortMessage(std::wstring_view upgradeCode, unsigned long indexes) {
  return L"Read short: " + EnumerationName(upgradeCode) + L" did not end within " + std::to_wstring(indexes) +
         L" indexes, so the family was not read to the end; nothing was changed.";
}

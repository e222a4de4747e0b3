#include "app/ReportText.h"

#include "app/ExitCodes.h"
#include "app/ExtendedCommandLine.h"
#include "app/JsonDocument.h"
#include "app/RunResult.h"
#include "common/JsonWriter.h"
#include "common/Utf8.h"
#include "support/JsonDocuments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using State = ViewHideOutcome::State;

MemberOutcome Hidden(const wchar_t* code, State view32, State view64, long error = 0) {
  MemberOutcome outcome{code, L"1.0", MemberOutcome::Kind::kHide};
  outcome.hide.view32 = {view32, view32 == State::kNotHidden ? error : 0};
  outcome.hide.view64 = {view64, view64 == State::kNotHidden ? error : 0};
  return outcome;
}

// Each member's record says what each view gave, the failed one first with the registry's error;
// a member with any failed view counts as failed and makes the run's result 1603.
TEST(HideReport, AFailedViewIsNamedWithItsErrorCountedAsFailedAndFailsTheRun) {
  const std::vector<MemberOutcome> outcomes = {
      Hidden(L"{H1}", State::kHidden, State::kNotHidden, 5),
      Hidden(L"{H2}", State::kNoEntry, State::kHidden),
      Hidden(L"{H3}", State::kNoEntry, State::kNoEntry),
      {L"{H4}", L"2.0", MemberOutcome::Kind::kKeptNewest},
  };
  const std::wstring lines[] = {L"{H1} 1.0 not-hidden 64-bit error=5 hidden 32-bit", L"{H2} 1.0 hidden 64-bit",
                                L"{H3} 1.0 no-entry", L"{H4} 2.0 kept newest"};
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    EXPECT_EQ(OutcomeLine(outcomes[i]), lines[i]);
  }
  EXPECT_EQ(ResultExitCode(Summarize(outcomes)), 1603);
  EXPECT_EQ(HideSummaryLine(Summarize(outcomes), 1603),
            L"summary: 4 members, 1 hidden, 1 kept, 1 no-entry, 1 failed; exit code 1603");
  EXPECT_EQ(ResultExitCode(Summarize({outcomes[1], outcomes[2], outcomes[3]})), 0);
}

MemberOutcome Shown(const wchar_t* code, ViewShowOutcome::State view32, ViewShowOutcome::State view64,
                    ShowOutcome::Kept kept = ShowOutcome::Kept::kNo) {
  MemberOutcome outcome{code, L"1.0", MemberOutcome::Kind::kShow};
  outcome.show.view32 = {view32, view32 == ViewShowOutcome::State::kNotShown ? 5 : 0};
  outcome.show.view64 = {view64, 0};
  outcome.show.kept = kept;
  outcome.show.recordError = kept == ShowOutcome::Kept::kCannotTell ? 2 : 0;
  outcome.show.packageError = kept == ShowOutcome::Kept::kCannotTell ? 1605 : 0;
  return outcome;
}

// Showing: one word per member, the failed view first with its error, and why an entry stayed
// hidden; a view that could not be shown fails the run, an entry kept hidden does not.
TEST(ShowReport, EachMemberHasOneResultWordAndOnlyAFailedViewFailsTheRun) {
  using Show = ViewShowOutcome::State;
  const std::vector<MemberOutcome> outcomes = {
      Shown(L"{S1}", Show::kNotShown, Show::kShown),
      Shown(L"{S2}", Show::kVisible, Show::kShown),
      Shown(L"{S3}", Show::kKeptHidden, Show::kKeptHidden, ShowOutcome::Kept::kByPackage),
      Shown(L"{S4}", Show::kKeptHidden, Show::kNoEntry, ShowOutcome::Kept::kCannotTell),
      Shown(L"{S5}", Show::kVisible, Show::kNoEntry),
      Shown(L"{S6}", Show::kNoEntry, Show::kNoEntry),
  };
  const std::wstring lines[] = {L"{S1} 1.0 not-shown 32-bit error=5 shown 64-bit", L"{S2} 1.0 shown 64-bit",
                                L"{S3} 1.0 kept-hidden by-package",
                                L"{S4} 1.0 kept-hidden cannot-tell record-error=2 package-error=1605",
                                L"{S5} 1.0 already-visible", L"{S6} 1.0 no-entry"};
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    EXPECT_EQ(OutcomeLine(outcomes[i]), lines[i]);
  }
  EXPECT_EQ(ShowSummaryLine(Summarize(outcomes), 1603),
            L"summary: 6 members, 1 shown, 1 already-visible, 2 kept-hidden, 1 no-entry, 1 failed; exit code 1603");
  EXPECT_EQ(ResultExitCode(Summarize(outcomes)), 1603);
  EXPECT_EQ(ResultExitCode(Summarize({outcomes.begin() + 1, outcomes.end()})), 0);
}

MemberOutcome Removal(RemovalOutcome::State state, bool restartNeeded = false) {
  MemberOutcome outcome{L"{R1}", L"1.0", MemberOutcome::Kind::kRemoval};
  outcome.removal.state = state;
  outcome.removal.restartNeeded = restartNeeded;
  return outcome;
}

// Every mix of member results against the rule docs/command-line.md gives: when several apply,
// 1603 (a member was not removed), then 1618 (one was blocked), then 3010 (a removal needs a
// restart), then 0. Gone and restart-needed members count as removed.
TEST(ResultExitCode, FollowsTheDocumentedPrecedenceForEveryMixOfResults) {
  using Removed = RemovalOutcome::State;
  const MemberOutcome results[] = {Removal(Removed::kNotRemoved), Removal(Removed::kBlocked),
                                   Removal(Removed::kRemovedFromCopy, /*restartNeeded=*/true),
                                   Removal(Removed::kGone), Removal(Removed::kRemoved)};
  for (unsigned mix = 0; mix < 32; ++mix) {
    std::vector<MemberOutcome> outcomes;
    for (unsigned result = 0; result < 5; ++result) {
      if ((mix & (1u << result)) != 0) outcomes.push_back(results[result]);
    }
    const bool failed = (mix & 1u) != 0, blocked = (mix & 2u) != 0, restart = (mix & 4u) != 0;
    const RunSummary summary = Summarize(outcomes);
    EXPECT_EQ(ResultExitCode(summary), failed ? 1603 : blocked ? 1618 : restart ? 3010 : 0) << "mix " << mix;
    EXPECT_EQ(summary.removed, std::size_t{restart} + ((mix >> 3) & 1u) + ((mix >> 4) & 1u)) << "mix " << mix;
    EXPECT_EQ(summary.restartNeeded, std::size_t{restart}) << "mix " << mix;
  }
}

TEST(RecordText, EscapesWhatWouldEndOrSplitARecordAndNothingElse) {
  const struct {
    std::wstring text;
    bool oneToken;
    std::wstring escaped;
  } cases[] = {
      {L"Quorvin Sample \u00E9\U0001F600", false, L"Quorvin Sample \u00E9\U0001F600"},
      {L"a\nb\rc\td\x7F" L"e\u0085f\u2028g\u2029h", false,
       L"a\\u000Ab\\u000Dc\\u0009d\\u007Fe\\u0085f\\u2028g\\u2029h"},
      {std::wstring(L"x\0y", 3), false, L"x\\u0000y"},
      {L"\xD800-\xDC00-\U0001F600", false, L"\\uD800-\\uDC00-\U0001F600"},
      {L"2.0 beta\u00A0\u3000x", true, L"2.0\\u0020beta\\u00A0\\u3000x"},
      {L"2.0 beta", false, L"2.0 beta"},
      // Each range at both ends and just outside: C0, DEL and C1, the no-break space, the separators.
      {L"\x1F \x7E\x7F\x80\x9F\xA0", false, L"\\u001F \x7E\\u007F\\u0080\\u009F\xA0"},
      {L"\x1F \x7E\x7F\x80\x9F\xA0", true, L"\\u001F\\u0020\x7E\\u007F\\u0080\\u009F\\u00A0"},
      {L"\u1FFF\u2000\u200A\u200B\u2027\u2028\u2029\u202A", false,
       L"\u1FFF\u2000\u200A\u200B\u2027\\u2028\\u2029\u202A"},
      {L"\u1FFF\u2000\u200A\u200B\u2027\u2028\u2029\u202A", true,
       L"\u1FFF\\u2000\\u200A\u200B\u2027\\u2028\\u2029\u202A"},
      {L"\u1680\u202F\u205F\uFEFF", true, L"\\u1680\\u202F\\u205F\\uFEFF"},
      // A high half before a pair, the last pair there is, a pair the wrong way round, a high half last.
      {L"\xD800\xD800\xDC00" L"\xDBFF\xDFFF" L"\xDFFF\xDBFF" L"a\xDBFF", false,
       L"\\uD800\U00010000\U0010FFFF\\uDFFF\\uDBFFa\\uDBFF"},
      // A backslash is escaped too, so a text that reads like an escape stays apart from the escaped one.
      {L"C:\\a\\u000A", false, L"C:\\u005Ca\\u005Cu000A"},
      {L"C:\\a\n", false, L"C:\\u005Ca\\u000A"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(EscapeForRecord(test.text, test.oneToken), test.escaped) << testing::PrintToString(test.text);
  }
  // The log's header keeps a command line's backslashes, and still escapes what would end a line.
  EXPECT_EQ(EscapeCommandLine(L"C:\\tools\\msitool.exe /log:C:\\x\n"), L"C:\\tools\\msitool.exe /log:C:\\x\\u000A");
}

// The document's strings as written, not as a reader decodes them: a decoder reads \u007F and a raw
// DEL alike. Spaces stay as they are; the rest follows the records' rule, plus quote and backslash.
TEST(JsonText, EscapesControlsSeparatorsAndUnpairedHalvesToTheEdgeOfEachRange) {
  const struct {
    std::wstring text;
    std::wstring written;
  } cases[] = {
      {L"\x1F \x7E\x7F\x80\x9F\xA0", L"\"\\u001F \x7E\\u007F\\u0080\\u009F\xA0\""},
      {L"\u1FFF\u2000\u200A\u200B\u2027\u2028\u2029\u202A",
       L"\"\u1FFF\u2000\u200A\u200B\u2027\\u2028\\u2029\u202A\""},
      {L"\xD800\xD800\xDC00" L"\xDBFF\xDFFF" L"\xDFFF\xDBFF" L"a\xDBFF",
       L"\"\\uD800\U00010000\U0010FFFF\\uDFFF\\uDBFFa\\uDBFF\""},
      {L"\"C:\\x\"", L"\"\\\"C:\\\\x\\\"\""},
  };
  for (const auto& test : cases) {
    JsonWriter writer;
    writer.String(test.text);
    EXPECT_EQ(writer.text(), test.written) << testing::PrintToString(test.text);
  }
}

// A family that shows no entry is flagged only as /families found it: hidden entries alone are not
// the flag, since a product may ask to stay hidden.
TEST(FamiliesReport, TheFlagIsTheFamilysOwnInTheRecordTheSummaryAndTheDocument) {
  for (const bool flagged : {false, true}) {
    ProductListing member;
    member.productCode = L"{A1}";
    member.entry32 = EntryState::kHidden;
    FamilyListing family{L"{00000000-0000-0000-0000-0000000000AA}", {member}};
    family.noVisibleEntry = flagged;
    RunResult result;
    result.installed.families = {family};
    result.summary = Summarize(result.installed);
    ExtendedOptions options;
    options.action = ExtendedAction::kFamilies;
    const std::string document = ToUtf8(JsonDocument(options, result));
    EXPECT_EQ(JsonAt(document, "families.0.noVisibleEntry"), flagged ? L"true" : L"false");
    EXPECT_EQ(JsonAt(document, "summary.noVisibleEntry"), flagged ? L"1" : L"0");
    EXPECT_EQ(FamilyLine(family).find(L" no-visible-entry") != std::wstring::npos, flagged);
    EXPECT_EQ(FamiliesSummaryLine(*result.summary, 0).find(L", 1 no-visible-entry;") != std::wstring::npos, flagged);
  }
}

// Another user's member is named with its SID, and its account where the SID resolves, as one
// field each in every record; it counts as other-user, never as removed or failed.
TEST(OtherUserReport, NamesTheUserInEveryRecordAndCountsApart) {
  for (const bool resolved : {false, true}) {
    MemberOutcome left{L"{B2}", L"3.0", MemberOutcome::Kind::kOtherUser};
    left.userSid = L"S-1-5-21-1-2-3-1001";
    if (resolved) left.userName = L"LAB\\Ana Lima";
    const std::wstring user = resolved ? L" user=LAB\\u005CAna\\u0020Lima" : L"";
    EXPECT_EQ(OutcomeLine(left), L"{B2} 3.0 other-user sid=S-1-5-21-1-2-3-1001" + user);
    MemberListing member;
    member.productCode = L"{B2}";
    member.versionString = L"3.0";
    member.productName = L"Quorvin Sample";
    member.context = MemberIdentity::Context::kOtherUser;
    member.userSid = left.userSid;
    member.userName = left.userName;
    member.entry64 = EntryState::kVisible;
    EXPECT_EQ(ListingLine(member), L"{B2} 3.0 other-user sid=S-1-5-21-1-2-3-1001" + user +
                                       L" 32-bit=none 64-bit=visible hide=leave uninstall=leave keepnewest=leave "
                                       L"name=Quorvin Sample");
    EXPECT_EQ(FamilyMemberLine(member), L"{B2} 3.0 other-user sid=S-1-5-21-1-2-3-1001" + user +
                                            L" 32-bit=none 64-bit=visible name=Quorvin Sample");
    const RunSummary summary = Summarize({left, Removal(RemovalOutcome::State::kRemoved)});
    EXPECT_EQ(ResultExitCode(summary), 0);
    EXPECT_EQ(RemovalSummaryLine(summary, 0),
              L"summary: 2 members, 1 removed, 0 restart-needed, 0 kept, 0 failed, 1 other-user; exit code 0");
    RunResult result;
    result.outcomes = {left};
    result.summary = summary;
    ExtendedOptions options;
    options.action = ExtendedAction::kUninstall;
    const std::string document = ToUtf8(JsonDocument(options, result));
    EXPECT_EQ(JsonAt(document, "members.0.result"), L"other-user");
    EXPECT_EQ(JsonAt(document, "members.0.userSid"), L"S-1-5-21-1-2-3-1001");
    EXPECT_EQ(JsonAt(document, "members.0.userName"), resolved ? L"LAB\\Ana Lima" : L"null");
    EXPECT_EQ(JsonAt(document, "summary.otherUser"), L"1");
  }
  EXPECT_EQ(OrphanedEntryLine({L"{C3}", /*view64=*/false, L"Left\nBehind", L""}),
            L"{C3} - orphaned-entry 32-bit name=Left\\u000ABehind");
}

}  // namespace

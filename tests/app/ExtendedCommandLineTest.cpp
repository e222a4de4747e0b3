#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ConsoleText.h"
#include "app/Entry.h"
#include "app/ExtendedCommandLine.h"
#include "common/GuidText.h"
#include "common/Utf8.h"
#include "installer/InstallerCodes.h"
#include "products/CodeEnumeration.h"
#include "support/CapturedStream.h"
#include "support/FakeInstaller.h"
#include "support/JsonDocuments.h"
#include "support/ReportAgreement.h"
#include "support/TemporaryFiles.h"

namespace {

const std::wstring kFamily = L"{00000000-0000-0000-0000-0000000000AA}";
const std::wstring kCode = L"/u:" + kFamily;

struct Output {
  int exitCode = -1;
  std::string standardOutput;
  std::string standardError;
  bool operator==(const Output& other) const {
    return exitCode == other.exitCode && standardOutput == other.standardOutput &&
           standardError == other.standardError;
  }
};

void PrintTo(const Output& output, std::ostream* stream) {
  *stream << "exit " << output.exitCode << ", out \"" << output.standardOutput << "\", err \""
          << output.standardError << "\"";
}

std::vector<const wchar_t*> Argv(const std::vector<std::wstring>& arguments) {
  std::vector<const wchar_t*> argv = {L"msitool.exe"};
  for (const std::wstring& argument : arguments) argv.push_back(argument.c_str());
  return argv;
}

Output Capture(const std::function<int()>& run) {
  Output output;
  output.standardOutput = CaptureStandardStream(STD_OUTPUT_HANDLE, [&] {
    output.standardError = CaptureStandardStream(STD_ERROR_HANDLE, [&] { output.exitCode = run(); });
  });
  return output;
}

// The tool as it ran before the extended command line: the oracle for every line it must not see.
Output ClassicRun(const std::vector<std::wstring>& arguments, installer::Installer& installer) {
  const std::vector<const wchar_t*> argv = Argv(arguments);
  return Capture([&] {
    PrintBanner();
    CommandLine commandLine;
    commandLine.Parse(static_cast<int>(argv.size()), argv.data());
    if (!commandLine.IsValid() || commandLine.help()) PrintUsage();
    return commandLine.Run(installer);
  });
}

Output ToolRun(const std::vector<std::wstring>& arguments, installer::Installer& installer) {
  const std::vector<const wchar_t*> argv = Argv(arguments);
  return Capture(
      [&] { return RunToolCommandLine(static_cast<int>(argv.size()), argv.data(), installer); });
}

std::vector<FakeProduct> Family() { return {{L"{A1000000-0000-4000-8000-000000000000}", L"1.0"}, {L"{A3000000-0000-4000-8000-000000000000}", L"3.0"}, {L"{A2000000-0000-4000-8000-000000000000}", L"2.0"}}; }

// What the classic tool prints before it acts.
std::string Banner() {
  FakeInstaller classic;
  return ClassicRun({L"/hideoldaddremoves"}, classic).standardOutput;
}

// Lines that stay as they are: the classic lines of the front-end tests and every line that the
// extended rules reject too. Each gives exactly what the classic tool gave, with its effects.
const std::vector<std::wstring> kUnchangedLines[] = {
    {},
    {L"/?", L"/?", L"/?"},
    {L"/hideoldaddremoves", L"/uninstall", kCode, L"/?"},
    {L"/?"},
    {L"/HELP"},
    {L"--h"},
    {L"/U:" + kFamily},
    {L"/hideoldaddremoves"},
    {kCode},
    {L"/Uninstall", L"/HideOldAddRemoves"},
    {L"/bogus", L"/?"},
    {L"/? ", L"/bogus"},
    {L"/?", L"/bogus"},
    {L"/hideoldaddremoves", kCode},
    {L"/uninstall", kCode},
    {L"/uninstall", L"/u:"},
    // Accepted by the classic rules, new switch names inside: they stay classic.
    {L"/hideoldaddremoves", L"/u:/families"},
    {L"/uninstall", L"/u:/find:" + kFamily},
    {L"x/u:" + kFamily},
    // No new switch: the extended rules never see these.
    {L"/uninstall", L"/hideoldaddremoves", kCode},
    {L"/uninstall", kCode, L"/bogus"},
    // Invalid by the extended rules as well.
    {L"/list", kCode, L"/uninstall"},
    {L"/list", kCode, L"/hideoldaddremoves"},
    {L"/hideoldaddremoves", L"/keepnewest", kCode},
    {L"/list", L"/keepnewest", kCode},
    {L"/list", L"/U:" + kFamily},
    {L"/list", L"/u:{00000000-0000-0000-0000-0000000000A}"},
    {L"/list", L"/u:00000000-0000-0000-0000-0000000000AA"},
    {L"/list", L"/u:{00000000-0000-0000-0000-0000000000AG}"},
    {L"/list", L"/u:" + kFamily + L" "},
    {L"/list", L"x/u:" + kFamily},
    {L"/list", kCode, L"/bogus"},
    {L"/bogus", L"/list", kCode},
    {L"/list", L"/?", L"/bogus"},
    {L"/list"},
    {L"/report", kCode},
    {L"/keepnewest", kCode},
    {L"/list", L"/list", kCode},
    {L"/uninstall", L"/report", L"/REPORT", kCode},
    {L"/list", kCode, kCode},
    {L"/uninstall", L"/log:", kCode},
    {L"/uninstall", L"/log:a.log", L"/LOG:b.log", kCode},
    {L"/list", L"/wait:60", kCode},
    {L"/hideoldaddremoves", L"/wait:60", kCode},
    {L"/uninstall", L"/wait:", kCode},
    {L"/uninstall", L"/wait:-1", kCode},
    {L"/uninstall", L"/wait:+5", kCode},
    {L"/uninstall", L"/wait: 5", kCode},
    {L"/uninstall", L"/wait:5s", kCode},
    {L"/uninstall", L"/wait:86401", kCode},
    {L"/uninstall", L"/wait:99999999999", kCode},
    {L"/uninstall", L"/wait:1", L"/wait:2", kCode},
    {L"/json", kCode},
    {L"/list", L"/json", L"/JSON", kCode},
    {L"/json", L"/?", L"/bogus"},
    {L"/families", kCode},
    {L"/families", L"/keepnewest"},
    {L"/families", L"/wait:5"},
    {L"/families", L"/find:"},
    {L"/families", L"/FIND:a", L"/find:b"},
    {L"/families", L"/list"},
    {L"/list", kCode, L"/find:Quorvin"},
    {L"/uninstall", kCode, L"/find:Quorvin"},
    {L"/find:Quorvin"},
    {L"/hideoldaddremoves", L"/u:/showaddremoves"},
    {L"/showaddremoves"},
    {L"/showaddremoves", L"/keepnewest", kCode},
    {L"/showaddremoves", L"/wait:5", kCode},
    {L"/showaddremoves", kCode, L"/find:Quorvin"},
    {L"/showaddremoves", L"/hideoldaddremoves", kCode},
    {L"/showaddremoves", L"/SHOWADDREMOVES", kCode},
};

class Compatibility : public testing::TestWithParam<std::vector<std::wstring>> {};

TEST_P(Compatibility, LineGivesTheClassicOutputExitCodeAndInstallerCalls) {
  FakeInstaller classic(Family());
  FakeInstaller tool(Family());
  EXPECT_EQ(ToolRun(GetParam(), tool), ClassicRun(GetParam(), classic));
  EXPECT_EQ(tool.calls, classic.calls);
}

INSTANTIATE_TEST_SUITE_P(Lines, Compatibility, testing::ValuesIn(kUnchangedLines));

TEST(ExtendedCommandLine, UpgradeCodeTakesEverythingAfterTheSwitch) {
  const std::vector<std::wstring> arguments = {L"/list", kCode};
  const std::vector<const wchar_t*> argv = Argv(arguments);
  const std::optional<ExtendedOptions> options =
      ParseExtendedCommandLine(static_cast<int>(argv.size()), argv.data());
  ASSERT_TRUE(options);
  EXPECT_EQ(options->action, ExtendedAction::kList);
  EXPECT_EQ(options->upgradeCode, kFamily);
}

TEST(ExtendedCommandLine, BracedGuidRule) {
  EXPECT_TRUE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35B}"));
  EXPECT_FALSE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35}"));
  EXPECT_FALSE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35BB"));
  EXPECT_FALSE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F6-C2D9A18E35B}"));
  EXPECT_FALSE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E3\u0661B}"));
}

constexpr unsigned kNoCopy = ~0u;  // the member has no cached package, so no copy can be made

// A member; unless install is kNoCopy it has a real cached package, and removing it from the
// copy answers install.
FakeProduct Member(const wchar_t* code, const wchar_t* version, unsigned configure = 0,
                   unsigned install = kNoCopy) {
  return {code, version, {}, {}, configure, install};
}

FakeProduct Busy(FakeProduct product) {
  product.busyRemovals = 1;
  return product;
}

FakeProduct InContext(int context, FakeProduct product) {
  product.context = context;
  return product;
}

struct RunCase {
  const char* name;
  std::vector<FakeProduct> members;
  std::vector<std::wstring> arguments;
  int exitCode;
  std::vector<std::wstring> removed;
  const char* report;  // what follows the banner; nullptr: the usage, and no installer call
};

void PrintTo(const RunCase& test, std::ostream* stream) { *stream << test.name; }

// Every kind of character that could break a record or a JSON text: line ends, separators, C1, a
// lone surrogate, a tab, NBSP, a quote, a backslash and a character outside the BMP.
const std::wstring kHostileName = L"Name\r\n{A8000000-0000-4000-8000-000000000000} 1.0 per-machine\u2028\u0085\xD800\t\u00A0\"\\\U0001F600";

const std::wstring kOther = L"{00000000-0000-0000-0000-0000000000BB}";
// 100 characters: one more than the version order reads.
const std::wstring kLongVersion = L"1.0.0-" + std::wstring(94, L'b');
const std::string kLongVersionReport = "{A2000000-0000-4000-8000-000000000000} 2.0 removed\n{A1000000-0000-4000-8000-000000000000} 1.0.0-" + std::string(94, 'b') + " removed\n"
                                       "summary: 2 members, 2 removed, 0 restart-needed, 0 kept, 0 failed; exit code 0\n";
const char kFamilyListing[] =
    "{A1000000-0000-4000-8000-000000000000} 1.0 per-machine 32-bit=none 64-bit=none hide=hide uninstall=3 keepnewest=remove name=\n"
    "{A3000000-0000-4000-8000-000000000000} 3.0 per-machine 32-bit=none 64-bit=none hide=keep uninstall=1 keepnewest=keep name=\n"
    "{A2000000-0000-4000-8000-000000000000} 2.0 per-machine 32-bit=none 64-bit=none hide=hide uninstall=2 keepnewest=remove name=\n";

const char kFamilyHideReport[] =
    "{A1000000-0000-4000-8000-000000000000} 1.0 no-entry\n{A3000000-0000-4000-8000-000000000000} 3.0 kept newest\n{A2000000-0000-4000-8000-000000000000} 2.0 no-entry\n"
    "summary: 3 members, 0 hidden, 1 kept, 2 no-entry, 0 failed; exit code 0\n";

// Each line the extended rules read, with its full output: banner, then the report.
const RunCase kRunCases[] = {
    {"ListChangesNothing", Family(), {L"/list", kCode}, 0, {}, kFamilyListing},
    {"ListReadsNameAndContext",
     {{L"{A1000000-0000-4000-8000-000000000000}", L"1.0", {}, {}, 0, 0, true, 4, {{L"ProductName", L"Plain Name"}}},
      {L"{A3000000-0000-4000-8000-000000000000}", L"3.0", {}, {}, 0, 0, true, installer::kContextUserUnmanaged,
       {{L"InstalledProductName", L"Installed Name"}, {L"ProductName", L"Not This"}}},
      {L"{A2000000-0000-4000-8000-000000000000}", L"2.0", {}, {}, 0, 0, true, /*context=*/0}},
     {L"/list", kCode}, 0, {},
     "{A1000000-0000-4000-8000-000000000000} 1.0 per-machine 32-bit=none 64-bit=none hide=hide uninstall=3 keepnewest=remove name=Plain Name\n"
     "{A3000000-0000-4000-8000-000000000000} 3.0 per-user 32-bit=none 64-bit=none hide=keep uninstall=1 keepnewest=keep name=Installed Name\n"
     "{A2000000-0000-4000-8000-000000000000} 2.0 unknown-context 32-bit=none 64-bit=none hide=hide uninstall=2 keepnewest=remove name=\n"},
    {"ListSwitchInAnyCaseAndPlace", Family(), {kCode, L"/LIST"}, 0, {}, kFamilyListing},
    {"ListWithReportIsTheListing", Family(), {L"/list", L"/report", kCode}, 0, {}, kFamilyListing},
    {"UpgradeCodeInLowerCaseIsTheSameFamily", Family(), {L"/list", L"/u:{00000000-0000-0000-0000-0000000000aa}"}, 0,
     {}, kFamilyListing},
    {"UpgradeCodeIsRecordedInUpperCase", Family(), {L"/list", L"/u:{abcdef00-0000-0000-0000-0000000000bb}"}, 0,
     {}, "{ABCDEF00-0000-0000-0000-0000000000BB} no-members\n"},
    {"ListOfAnEmptyFamilySaysSo", Family(), {L"/list", L"/u:" + kOther}, 0, {},
     "{00000000-0000-0000-0000-0000000000BB} no-members\n"},
    {"ListShowsTheTieAsHidingAndKeepNewestChooseIt",
     {Member(L"{71000000-0000-4000-8000-000000000000}", L"3.0"), Member(L"{10000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{72000000-0000-4000-8000-000000000000}", L"3.0")}, {L"/list", kCode}, 0, {},
     "{71000000-0000-4000-8000-000000000000} 3.0 per-machine 32-bit=none 64-bit=none hide=keep uninstall=1 keepnewest=keep name=\n"
     "{10000000-0000-4000-8000-000000000000} 1.0 per-machine 32-bit=none 64-bit=none hide=hide uninstall=3 keepnewest=remove name=\n"
     "{72000000-0000-4000-8000-000000000000} 3.0 per-machine 32-bit=none 64-bit=none hide=hide uninstall=2 keepnewest=remove name=\n"},
    {"UninstallWithoutReportPrintsTheBannerAlone", Family(), {L"/uninstall", L"/keepnewest", kCode}, 0,
     {L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"}, ""},
    {"KeepNewestKeepsTheFirstEnumeratedOfATie",
     {Member(L"{10000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{71000000-0000-4000-8000-000000000000}", L"3.0"), Member(L"{72000000-0000-4000-8000-000000000000}", L"3.0")},
     {L"/uninstall", L"/keepnewest", L"/report", kCode}, 0, {L"{72000000-0000-4000-8000-000000000000}", L"{10000000-0000-4000-8000-000000000000}"},
     "{71000000-0000-4000-8000-000000000000} 3.0 kept keepnewest\n{72000000-0000-4000-8000-000000000000} 3.0 removed\n{10000000-0000-4000-8000-000000000000} 1.0 removed\n"
     "summary: 3 members, 2 removed, 0 restart-needed, 1 kept, 0 failed; exit code 0\n"},
    {"AllRemoved", Family(), {L"/uninstall", L"/report", kCode}, 0, {L"{A3000000-0000-4000-8000-000000000000}", L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"},
     "{A3000000-0000-4000-8000-000000000000} 3.0 removed\n{A2000000-0000-4000-8000-000000000000} 2.0 removed\n{A1000000-0000-4000-8000-000000000000} 1.0 removed\n"
     "summary: 3 members, 3 removed, 0 restart-needed, 0 kept, 0 failed; exit code 0\n"},
    {"RestartRequired", {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0", 3010), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0")},
     {L"/uninstall", L"/report", kCode}, 3010, {L"{A3000000-0000-4000-8000-000000000000}", L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"},
     "{A3000000-0000-4000-8000-000000000000} 3.0 removed restart-needed\n{A2000000-0000-4000-8000-000000000000} 2.0 removed\n{A1000000-0000-4000-8000-000000000000} 1.0 removed\n"
     "summary: 3 members, 3 removed, 1 restart-needed, 0 kept, 0 failed; exit code 3010\n"},
    {"RestartInitiatedIsReportedAs3010",
     {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0"), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0", 1641)},
     {L"/uninstall", L"/report", kCode}, 3010, {L"{A3000000-0000-4000-8000-000000000000}", L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"},
     "{A3000000-0000-4000-8000-000000000000} 3.0 removed\n{A2000000-0000-4000-8000-000000000000} 2.0 removed restart-needed\n{A1000000-0000-4000-8000-000000000000} 1.0 removed\n"
     "summary: 3 members, 3 removed, 1 restart-needed, 0 kept, 0 failed; exit code 3010\n"},
    {"RemovedFromTheCopyWithRestart",
     {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0", 1603, 3010), Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0"), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0")},
     {L"/uninstall", L"/report", kCode}, 3010, {L"{A3000000-0000-4000-8000-000000000000}", L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"},
     "{A3000000-0000-4000-8000-000000000000} 3.0 removed\n{A2000000-0000-4000-8000-000000000000} 2.0 removed\n{A1000000-0000-4000-8000-000000000000} 1.0 removed from-copy restart-needed\n"
     "summary: 3 members, 3 removed, 1 restart-needed, 0 kept, 0 failed; exit code 3010\n"},
    {"RefusedBothWays", {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0", 1603, 1605), Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0"), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0")},
     {L"/uninstall", L"/report", kCode}, 1603, {L"{A3000000-0000-4000-8000-000000000000}", L"{A2000000-0000-4000-8000-000000000000}"},
     "{A3000000-0000-4000-8000-000000000000} 3.0 removed\n{A2000000-0000-4000-8000-000000000000} 2.0 removed\n{A1000000-0000-4000-8000-000000000000} 1.0 not-removed error=1603 copy-error=1605\n"
     "summary: 3 members, 2 removed, 0 restart-needed, 0 kept, 1 failed; exit code 1603\n"},
    {"FailureOutranksRestart",
     {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0", 1603, 1618), Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0", 3010), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0")},
     {L"/uninstall", L"/report", kCode}, 1603, {L"{A3000000-0000-4000-8000-000000000000}", L"{A2000000-0000-4000-8000-000000000000}"},
     "{A3000000-0000-4000-8000-000000000000} 3.0 removed restart-needed\n{A2000000-0000-4000-8000-000000000000} 2.0 removed\n{A1000000-0000-4000-8000-000000000000} 1.0 not-removed error=1603 copy-error=1618\n"
     "summary: 3 members, 2 removed, 1 restart-needed, 0 kept, 1 failed; exit code 1603\n"},
    {"NoCopyIsSaidWhenTheCachedPackageIsUnknown", {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0", 1603)},
     {L"/uninstall", L"/report", kCode}, 1603, {},
     "{A1000000-0000-4000-8000-000000000000} 1.0 not-removed error=1603 no-copy\n"
     "summary: 1 members, 0 removed, 0 restart-needed, 0 kept, 1 failed; exit code 1603\n"},
    {"HideOfAFamilyWithoutEntriesSaysNoEntryAndKeepsTheNewest", Family(),
     {L"/hideoldaddremoves", L"/report", kCode}, 0, {}, kFamilyHideReport},
    {"HideReportInAnyCaseAndPlace", Family(), {L"/Report", kCode, L"/HideOldAddRemoves"}, 0, {}, kFamilyHideReport},
    {"ShowWithoutReportPrintsTheBannerAlone", Family(), {L"/showaddremoves", kCode}, 0, {}, ""},
    {"ShowOfAFamilyWithoutEntriesSaysNoEntry", Family(), {kCode, L"/report", L"/ShowAddRemoves"}, 0, {},
     "{A1000000-0000-4000-8000-000000000000} 1.0 no-entry\n{A3000000-0000-4000-8000-000000000000} 3.0 no-entry\n{A2000000-0000-4000-8000-000000000000} 2.0 no-entry\n"
     "summary: 3 members, 0 shown, 0 already-visible, 0 kept-hidden, 3 no-entry, 0 failed; exit code 0\n"},
    {"KeepNewestReportInAnyCaseAndPlace", Family(), {L"/KEEPNEWEST", L"/report", kCode, L"/uninstall"}, 0,
     {L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"},
     "{A3000000-0000-4000-8000-000000000000} 3.0 kept keepnewest\n{A2000000-0000-4000-8000-000000000000} 2.0 removed\n{A1000000-0000-4000-8000-000000000000} 1.0 removed\n"
     "summary: 3 members, 2 removed, 0 restart-needed, 1 kept, 0 failed; exit code 0\n"},
    {"FamiliesListsWhatNoRegisteredFamilyHolds", Family(), {L"/FAMILIES"}, 0, {},
     "{A1000000-0000-4000-8000-000000000000} 1.0 without-family per-machine 32-bit=none 64-bit=none name=\n"
     "{A2000000-0000-4000-8000-000000000000} 2.0 without-family per-machine 32-bit=none 64-bit=none name=\n"
     "{A3000000-0000-4000-8000-000000000000} 3.0 without-family per-machine 32-bit=none 64-bit=none name=\n"
     "summary: 0 families, 0 members, 3 without-family, 0 several-visible-entries; exit code 0\n"},
    {"FindKeepsOnlyMatchingNames",
     {{L"{A1000000-0000-4000-8000-000000000000}", L"1.0", {}, {}, 0, 0, true, 4, {{L"ProductName", L"Quorvin \u00C9T\u00C9"}}},
      {L"{A2000000-0000-4000-8000-000000000000}", L"2.0", {}, {}, 0, 0, true, 4, {{L"ProductName", L"Quorvin Sample"}}}},
     {L"/families", L"/find:\u00E9t\u00E9", L"/report"}, 0, {},
     "{A1000000-0000-4000-8000-000000000000} 1.0 without-family per-machine 32-bit=none 64-bit=none name=Quorvin \xC3\x89T\xC3\x89\n"
     "summary: 0 families, 0 members, 1 without-family, 0 several-visible-entries; exit code 0\n"},
    {"FamiliesComeByNameIgnoringCase",
     {{L"{A1000000-0000-4000-8000-000000000000}", L"1.0", {}, {}, 0, 0, true, 4, {{L"ProductName", L"b"}}},
      {L"{A2000000-0000-4000-8000-000000000000}", L"1.0", {}, {}, 0, 0, true, 4, {{L"ProductName", L"C"}}},
      {L"{A3000000-0000-4000-8000-000000000000}", L"1.0", {}, {}, 0, 0, true, 4, {{L"ProductName", L"A"}}}},
     {L"/families"}, 0, {},
     "{A3000000-0000-4000-8000-000000000000} 1.0 without-family per-machine 32-bit=none 64-bit=none name=A\n"
     "{A1000000-0000-4000-8000-000000000000} 1.0 without-family per-machine 32-bit=none 64-bit=none name=b\n"
     "{A2000000-0000-4000-8000-000000000000} 1.0 without-family per-machine 32-bit=none 64-bit=none name=C\n"
     "summary: 0 families, 0 members, 3 without-family, 0 several-visible-entries; exit code 0\n"},
    {"ListThenHelp", Family(), {L"/list", L"/?"}, 0, {}, nullptr},
    {"HelpAfterEveryNewSwitch", Family(), {L"/uninstall", L"/list", L"/keepnewest", L"-help"}, 0, {}, nullptr},
    {"HelpAfterALogSwitch", Family(), {L"/list", L"/log:x", L"/?"}, 0, {}, nullptr},
    {"HelpWithJsonIsTheUsageOnTheStandardOutput", Family(), {L"/json", L"/?"}, 0, {}, nullptr},
    {"WaitOfADayIsValid", Family(), {L"/uninstall", L"/WAIT:86400", kCode}, 0, {L"{A3000000-0000-4000-8000-000000000000}", L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"}, ""},
    {"AMemberAlreadyGoneIsDoneAndNoCopyIsTried",
     {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0"), {L"{A2000000-0000-4000-8000-000000000000}", L"2.0", {}, {}, 1605, 0, true, /*context=*/0}},
     {L"/uninstall", L"/report", kCode}, 0, {L"{A3000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"},
     "{A3000000-0000-4000-8000-000000000000} 3.0 removed\n{A2000000-0000-4000-8000-000000000000} 2.0 gone\n{A1000000-0000-4000-8000-000000000000} 1.0 removed\n"
     "summary: 3 members, 3 removed, 0 restart-needed, 0 kept, 0 failed; exit code 0\n"},
    {"UnknownToTheRemovalButStillInstalledIsAFailure", {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0", 1605)},
     {L"/uninstall", L"/report", kCode}, 1603, {},
     "{A1000000-0000-4000-8000-000000000000} 1.0 not-removed error=1605 no-copy\n"
     "summary: 1 members, 0 removed, 0 restart-needed, 0 kept, 1 failed; exit code 1603\n"},
    {"UnknownToTheRemovalButInstalledForAUserIsAFailure",
     {InContext(installer::kContextUserManaged, Member(L"{E1000000-0000-4000-8000-000000000000}", L"1.0", 1605)),
      InContext(installer::kContextUserUnmanaged, Member(L"{E2000000-0000-4000-8000-000000000000}", L"2.0", 1605, 1605))},
     {L"/uninstall", L"/report", kCode}, 1603, {},
     "{E2000000-0000-4000-8000-000000000000} 2.0 not-removed error=1605 copy-error=1605\n{E1000000-0000-4000-8000-000000000000} 1.0 not-removed error=1605 no-copy\n"
     "summary: 2 members, 0 removed, 0 restart-needed, 0 kept, 2 failed; exit code 1603\n"},
    {"PackageTextCannotForgeOrSplitARecord",
     {{L"{A1000000-0000-4000-8000-000000000000}", L"2.0 beta\n{A9000000-0000-4000-8000-000000000000} 9.9 removed", {}, {}, 0, 0, true, 4,
       {{L"ProductName", kHostileName}}}},
     {L"/list", kCode}, 0, {},
     "{A1000000-0000-4000-8000-000000000000} 2.0\\u0020beta\\u000A{A9000000-0000-4000-8000-000000000000}\\u00209.9\\u0020removed per-machine 32-bit=none 64-bit=none hide=keep "
     "uninstall=1 keepnewest=keep name=Name\\u000D\\u000A{A8000000-0000-4000-8000-000000000000} 1.0 per-machine\\u2028\\u0085\\uD800\\u0009\xC2\xA0"
     "\"\\u005C\xF0\x9F\x98\x80\n"},
    {"AVersionOfAnyLengthIsShownWhole", {Member(L"{A1000000-0000-4000-8000-000000000000}", kLongVersion.c_str()), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0")},
     {L"/uninstall", L"/report", kCode}, 0, {L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"}, kLongVersionReport.c_str()},
    {"BusyWithoutWaitIsAFailureWithoutCopy", {Busy(Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0"))}, {L"/uninstall", L"/report", kCode},
     1603, {},
     "{A1000000-0000-4000-8000-000000000000} 1.0 not-removed error=1618 no-copy\n"
     "summary: 1 members, 0 removed, 0 restart-needed, 0 kept, 1 failed; exit code 1603\n"},
    {"BusyAtTheDeadlineIsBlocked", {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0"), Busy(Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0")), Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0")},
     {L"/uninstall", L"/wait:0", L"/report", kCode}, 1618, {},
     "{A3000000-0000-4000-8000-000000000000} 3.0 blocked\n{A2000000-0000-4000-8000-000000000000} 2.0 blocked\n{A1000000-0000-4000-8000-000000000000} 1.0 blocked\n"
     "summary: 3 members, 0 removed, 0 restart-needed, 0 kept, 0 failed, 3 blocked; exit code 1618\n"},
    {"FailureOutranksBlocked",
     {Member(L"{A1000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{A3000000-0000-4000-8000-000000000000}", L"3.0", 1603), Busy(Member(L"{A2000000-0000-4000-8000-000000000000}", L"2.0"))},
     {L"/uninstall", L"/wait:0", L"/report", kCode}, 1603, {},
     "{A3000000-0000-4000-8000-000000000000} 3.0 not-removed error=1603 no-copy\n{A2000000-0000-4000-8000-000000000000} 2.0 blocked\n{A1000000-0000-4000-8000-000000000000} 1.0 blocked\n"
     "summary: 3 members, 0 removed, 0 restart-needed, 0 kept, 1 failed, 2 blocked; exit code 1603\n"},
};

class ExtendedRun : public testing::TestWithParam<RunCase> {
 protected:
  // The case's members, each with a cached package in cache unless it has none.
  void Prepare(FakeInstaller& installer, const ScratchFolder& cache) {
    for (FakeProduct& member : installer.products) {
      if (member.installResult == kNoCopy) {
        member.installResult = 0;
        continue;
      }
      member.packageName = member.productCode + L".msi";
      member.localPackage = cache.path() + L"cached-" + *member.packageName;
      ASSERT_TRUE(WriteFileBytes(*member.localPackage, "package"));
    }
  }
};

TEST_P(ExtendedRun, ReportsEachMemberAndTheResultExitCode) {
  const RunCase& test = GetParam();
  const ScratchFolder cache;
  FakeInstaller installer(test.members);
  Prepare(installer, cache);
  const Output output = ToolRun(test.arguments, installer);
  EXPECT_EQ(output.exitCode, test.exitCode);
  FakeInstaller classic;
  EXPECT_EQ(output.standardOutput, test.report ? Banner() + test.report : ClassicRun({L"/?"}, classic).standardOutput);
  if (!test.report) {
    EXPECT_TRUE(installer.calls.empty());
  }
  EXPECT_EQ(output.standardError, "");
  EXPECT_EQ(installer.removed, test.removed);
  EXPECT_EQ(installer.uiLevel, FakeInstaller::kStartingUiLevel);
  // Listing and showing never change what is installed.
  const bool installs = std::none_of(test.arguments.begin(), test.arguments.end(), [](const std::wstring& argument) {
    return _wcsicmp(argument.c_str(), L"/list") == 0 || _wcsicmp(argument.c_str(), L"/families") == 0 ||
           _wcsicmp(argument.c_str(), L"/showaddremoves") == 0;
  });
  if (!installs) {
    EXPECT_EQ(installer.CallCount(L"SetInternalUI") + installer.CallCount(L"ConfigureProductEx") +
                  installer.CallCount(L"InstallProduct"), 0);
  }
}

// The same line with /json: the same run, told as one document on the standard output that names
// the members of the text report in its order, with the same results and exit code.
TEST_P(ExtendedRun, JsonTellsTheSameRunAsTheReport) {
  const RunCase& test = GetParam();
  if (!test.report) return;  // help: the usage, as without /json
  const ScratchFolder cache;
  FakeInstaller installer(test.members);
  Prepare(installer, cache);
  std::vector<std::wstring> arguments = test.arguments;
  arguments.push_back(L"/json");
  const Output output = ToolRun(arguments, installer);
  KeepJsonDocument(std::string("app-") + test.name, output.standardOutput);
  EXPECT_EQ(output.exitCode, test.exitCode);
  EXPECT_EQ(output.standardError, Banner());
  EXPECT_EQ(output.standardOutput.rfind("{\n", 0), 0u);
  EXPECT_EQ(JsonNumber(output.standardOutput, "exitCode"), test.exitCode);
  EXPECT_EQ(installer.removed, test.removed);
  ExpectJsonAgreesWithReport(test.report, output.standardOutput);
  std::string wait = "null";
  for (const std::wstring& argument : test.arguments) {
    if (argument.rfind(L"/wait:", 0) == 0 || argument.rfind(L"/WAIT:", 0) == 0) wait.assign(argument.begin() + 6, argument.end());
  }
  EXPECT_EQ(JsonAt(output.standardOutput, "waitSeconds"), std::wstring(wait.begin(), wait.end()));
  // Package text reads back exactly as the installer gave it, whatever it holds.
  std::vector<std::wstring> texts;
  for (const FakeProduct& member : test.members) {
    texts.push_back(member.version.value_or(L""));
    for (const auto& property : member.properties) texts.push_back(property.second);
  }
  for (const wchar_t* key : {L"version", L"name"}) {
    std::vector<std::wstring> values = JsonStrings(output.standardOutput, key);
    values.erase(values.begin());  // the tool's own
    for (const std::wstring& text : values) {
      EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << std::string(key, key + std::wcslen(key));
    }
  }
}

// An installer whose first answer throws, as an exhausted heap would anywhere in a run.
class ThrowingInstaller : public FakeInstaller {
 public:
  unsigned EnumRelatedProducts(const wchar_t*, unsigned long, wchar_t*) override { throw std::bad_alloc(); }
};

TEST(RunToolCommandLine, AnExceptionEndsEitherCommandLinesRunWith1603AndOneLine) {
  for (const std::vector<std::wstring>& line : {std::vector<std::wstring>{L"/uninstall", kCode},
                                                std::vector<std::wstring>{L"/list", kCode}}) {
    ThrowingInstaller installer;
    const Output output = ToolRun(line, installer);
    EXPECT_EQ(output.exitCode, 1603);
    EXPECT_EQ(output.standardError, "The run stopped: out of memory.\n");
  }
  // With /json the document still comes: it says why the run stopped and what was done before.
  StoppingInstaller installer(Family());
  const Output output = ToolRun({L"/uninstall", L"/json", kCode}, installer);
  KeepJsonDocument("app-stopped", output.standardOutput);
  EXPECT_EQ(output.exitCode, 1603);
  EXPECT_EQ(output.standardError, Banner() + "The run stopped: out of memory.\n");
  EXPECT_EQ(JsonStrings(output.standardOutput, L"message"), std::vector<std::wstring>{L"The run stopped: out of memory."});
  EXPECT_EQ(JsonStrings(output.standardOutput, L"result"), std::vector<std::wstring>{L"removed"});
}

// An installer that never says "no more" for the family or for every product: each line lists what
// it read or changes nothing, and none that asks for an action or a listing ends with success. The fake's family has no registration,
// so its bound is the margin alone.
TEST(ReadShort, NoLineChangesAnythingOrSucceedsOverAFamilyNotReadToTheEnd) {
  const std::string family = ToUtf8(kFamily);
  const std::string bound = std::to_string(kEnumerationMargin);
  const std::string stopped = family + " read-short indexes=" + bound +
                              "\nsummary: read-short, nothing changed; exit code 1603\n";
  const std::string error = "Read short: the installer's list of " + family + "'s members did not end within " +
                            bound + " indexes, so the family was not read to the end; nothing was changed.\n";
  std::string products;
  for (const char* member : {"A1000000-0000-4000-8000-000000000000} 1.0", "A2000000-0000-4000-8000-000000000000} 2.0",
                             "A3000000-0000-4000-8000-000000000000} 3.0"}) {
    products += "{" + std::string(member) + " without-family per-machine 32-bit=none 64-bit=none name=\n";
  }
  const struct {
    const char* name;
    std::vector<std::wstring> arguments;
    std::string report;  // after the banner
    std::string error;
    int exitCode = 1603;
  } cases[] = {
      // The classic line keeps its texts; only its exit code says the run failed. A line that asks
      // for no action claims nothing.
      {"classic removal", {L"/uninstall", kCode}, "", ""},
      {"classic hiding", {L"/hideoldaddremoves", kCode}, "", ""},
      {"classic without an action", {kCode}, "", "", 0},
      {"removal", {L"/uninstall", L"/report", kCode}, stopped, error},
      {"hiding", {L"/hideoldaddremoves", L"/report", kCode}, stopped, error},
      {"showing", {L"/showaddremoves", L"/report", kCode}, stopped, error},
      {"listing", {L"/list", kCode}, kFamilyListing + family + " read-short indexes=" + bound + "\n", ""},
      {"families", {L"/families"},
       products + "products read-short indexes=" + std::to_string(ProductsBound()) +
           "\nsummary: 0 families, 0 members, 3 without-family, 0 several-visible-entries, 1 read-short; exit code 1603\n",
       ""},
  };
  for (const auto& test : cases) {
    for (const bool json : {false, true}) {
      FakeInstaller installer(Family());
      installer.neverEnds = true;
      std::vector<std::wstring> arguments = test.arguments;
      if (json && !test.report.empty()) arguments.push_back(L"/json");
      const Output output = ToolRun(arguments, installer);
      EXPECT_EQ(output.exitCode, test.exitCode) << test.name;
      EXPECT_EQ(installer.CallCount(L"ConfigureProductEx") + installer.CallCount(L"InstallProduct"), 0) << test.name;
      if (json && !test.report.empty()) {
        KeepJsonDocument(std::string("app-read-short-") + test.name, output.standardOutput);
        EXPECT_EQ(output.standardError, Banner() + test.error) << test.name;
        ExpectJsonAgreesWithReport(test.report, output.standardOutput);
        if (!test.error.empty()) {
          EXPECT_EQ(ToUtf8(JsonAt(output.standardOutput, "error.message").value_or(L"")) + "\n", test.error);
        }
      } else {
        EXPECT_EQ(output.standardOutput, Banner() + test.report) << test.name;
        EXPECT_EQ(output.standardError, test.error) << test.name;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtendedRun, testing::ValuesIn(kRunCases),
                         [](const testing::TestParamInfo<RunCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

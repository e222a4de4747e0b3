#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ConsoleText.h"
#include "app/Entry.h"
#include "app/ExtendedCommandLine.h"
#include "installer/InstallerCodes.h"
#include "support/CapturedStream.h"
#include "support/FakeInstaller.h"

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

FakeProduct Member(const wchar_t* code, const wchar_t* version) {
  FakeProduct product;
  product.productCode = code;
  product.version = version;
  return product;
}

std::vector<FakeProduct> Family() {
  return {Member(L"{A1}", L"1.0"), Member(L"{A3}", L"3.0"), Member(L"{A2}", L"2.0")};
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
};

class Compatibility : public testing::TestWithParam<std::vector<std::wstring>> {};

TEST_P(Compatibility, LineGivesTheClassicOutputExitCodeAndInstallerCalls) {
  FakeInstaller classic(Family());
  FakeInstaller tool(Family());
  EXPECT_EQ(ToolRun(GetParam(), tool), ClassicRun(GetParam(), classic));
  EXPECT_EQ(tool.calls, classic.calls);
}

INSTANTIATE_TEST_SUITE_P(Lines, Compatibility, testing::ValuesIn(kUnchangedLines));

struct NewLine {
  std::vector<std::wstring> arguments;
  int exitCode;
  bool printsUsage;
};

// Lines that become valid: banner (and usage for help), no usage otherwise, and their own code.
const NewLine kNewLines[] = {
    {{L"/list", kCode}, 0, false},
    {{kCode, L"/LIST"}, 0, false},
    {{L"/list", L"/report", kCode}, 0, false},
    {{L"/hideoldaddremoves", L"/report", kCode}, 0, false},
    {{L"/Report", kCode, L"/HideOldAddRemoves"}, 0, false},
    {{L"/uninstall", L"/keepnewest", kCode}, 0, false},
    {{L"/KEEPNEWEST", L"/report", kCode, L"/uninstall"}, 0, false},
    {{L"/list", L"/u:{abcdef00-0000-0000-0000-0000000000aa}"}, 0, false},
    {{L"/list", L"/?"}, 0, true},
    {{L"/uninstall", L"/list", L"/keepnewest", L"-help"}, 0, true},
    {{L"/list", L"/log:x", L"/?"}, 0, true},
    {{L"/uninstall", L"/WAIT:86400", kCode}, 0, false},
    {{L"/uninstall", L"/wait:0", L"/keepnewest", kCode}, 0, false},
};

class NewLines : public testing::TestWithParam<NewLine> {};

TEST_P(NewLines, AreReadByTheExtendedRules) {
  const NewLine& line = GetParam();
  FakeInstaller installer(Family());
  const Output output = ToolRun(line.arguments, installer);
  FakeInstaller classic(Family());
  const std::string banner = ClassicRun({L"/hideoldaddremoves"}, classic).standardOutput;
  const std::string bannerAndUsage = ClassicRun({L"/?"}, classic).standardOutput;
  EXPECT_EQ(output.exitCode, line.exitCode);
  EXPECT_EQ(output.standardError, "");
  if (line.printsUsage) {
    EXPECT_EQ(output.standardOutput, bannerAndUsage);
    EXPECT_TRUE(installer.calls.empty());
  } else {
    EXPECT_EQ(output.standardOutput.compare(0, banner.size(), banner), 0);
    EXPECT_EQ(output.standardOutput.find("Usage:"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, NewLines, testing::ValuesIn(kNewLines));

TEST(ExtendedCommandLine, UpgradeCodeTakesEverythingAfterTheSwitch) {
  const std::vector<std::wstring> arguments = {L"/list", kCode};
  const std::vector<const wchar_t*> argv = Argv(arguments);
  ExtendedCommandLine line;
  line.Parse(static_cast<int>(argv.size()), argv.data());
  EXPECT_TRUE(line.IsValid());
  EXPECT_EQ(line.action(), ExtendedAction::kList);
  EXPECT_EQ(line.upgradeCode(), kFamily);
}

TEST(ExtendedCommandLine, BracedGuidRule) {
  EXPECT_TRUE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35B}"));
  EXPECT_FALSE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35}"));
  EXPECT_FALSE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35BB"));
  EXPECT_FALSE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F6-C2D9A18E35B}"));
  EXPECT_FALSE(IsBracedGuid(L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E3\u0661B}"));
}

class ExtendedRun : public testing::Test {
 protected:
  Output Run(const std::vector<std::wstring>& arguments) { return ToolRun(arguments, installer_); }

  // The report lines after the banner.
  std::string Report(const Output& output) {
    FakeInstaller classic;
    const std::string banner = ClassicRun({L"/hideoldaddremoves"}, classic).standardOutput;
    return output.standardOutput.substr(banner.size());
  }

  FakeInstaller installer_{Family()};
};

TEST_F(ExtendedRun, ListChangesNothingAndEndsWith0) {
  const Output output = Run({L"/list", kCode});
  EXPECT_EQ(output.exitCode, 0);
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
  EXPECT_EQ(installer_.CallCount(L"ConfigureProductEx"), 0);
  EXPECT_EQ(installer_.CallCount(L"InstallProduct"), 0);
  EXPECT_EQ(Report(output),
            "{A1} 1.0 per-machine 32-bit=none 64-bit=none hide=hide uninstall=3 keepnewest=remove name=\n"
            "{A3} 3.0 per-machine 32-bit=none 64-bit=none hide=keep uninstall=1 keepnewest=keep name=\n"
            "{A2} 2.0 per-machine 32-bit=none 64-bit=none hide=hide uninstall=2 keepnewest=remove name=\n");
}

TEST_F(ExtendedRun, ListReadsNameAndContext) {
  installer_.products[0].properties[L"ProductName"] = L"Plain Name";
  installer_.products[1].properties[L"InstalledProductName"] = L"Installed Name";
  installer_.products[1].properties[L"ProductName"] = L"Not This";
  installer_.products[1].context = installer::kContextUserUnmanaged;
  installer_.products[2].context = 0;
  const std::string report = Report(Run({L"/list", kCode}));
  EXPECT_NE(report.find("{A1} 1.0 per-machine "), std::string::npos);
  EXPECT_NE(report.find(" name=Plain Name\n"), std::string::npos);
  EXPECT_NE(report.find("{A3} 3.0 per-user "), std::string::npos);
  EXPECT_NE(report.find(" name=Installed Name\n"), std::string::npos);
  EXPECT_NE(report.find("{A2} 2.0 unknown-context "), std::string::npos);
}

TEST_F(ExtendedRun, ListOfAnEmptyFamilySaysSo) {
  const std::wstring other = L"{00000000-0000-0000-0000-0000000000BB}";
  const Output output = Run({L"/list", L"/u:" + other});
  EXPECT_EQ(output.exitCode, 0);
  EXPECT_EQ(Report(output), "{00000000-0000-0000-0000-0000000000BB} no-members\n");
}

TEST_F(ExtendedRun, ListShowsTheTieAsHidingAndKeepNewestChooseIt) {
  installer_.products = {Member(L"{T1}", L"3.0"), Member(L"{L}", L"1.0"), Member(L"{T2}", L"3.0")};
  const std::string report = Report(Run({L"/list", kCode}));
  EXPECT_NE(report.find("{T1} 3.0 per-machine 32-bit=none 64-bit=none hide=keep uninstall=1 keepnewest=keep"),
            std::string::npos);
  EXPECT_NE(report.find("{T2} 3.0 per-machine 32-bit=none 64-bit=none hide=hide uninstall=2 keepnewest=remove"),
            std::string::npos);
}

TEST_F(ExtendedRun, UninstallWithoutReportPrintsTheBannerAlone) {
  const Output output = Run({L"/uninstall", L"/keepnewest", kCode});
  EXPECT_EQ(output.exitCode, 0);
  EXPECT_EQ(Report(output), "");
  EXPECT_EQ(installer_.removed, (std::vector<std::wstring>{L"{A2}", L"{A1}"}));
}

TEST_F(ExtendedRun, KeepNewestKeepsTheFirstEnumeratedOfATie) {
  installer_.products = {Member(L"{L}", L"1.0"), Member(L"{T1}", L"3.0"), Member(L"{T2}", L"3.0")};
  const Output output = Run({L"/uninstall", L"/keepnewest", L"/report", kCode});
  EXPECT_EQ(output.exitCode, 0);
  EXPECT_EQ(installer_.removed, (std::vector<std::wstring>{L"{T2}", L"{L}"}));
  EXPECT_EQ(Report(output),
            "{T1} 3.0 kept keepnewest\n"
            "{T2} 3.0 removed\n"
            "{L} 1.0 removed\n"
            "summary: 3 members, 2 removed, 0 restart-needed, 1 kept, 0 failed; exit code 0\n");
  EXPECT_EQ(installer_.uiLevel, FakeInstaller::kStartingUiLevel);
}

struct ResultCase {
  const char* name;
  unsigned configure[3];  // what the removal by product code answers, for {A1}, {A3}, {A2}
  unsigned install[3];    // what the removal from the copy answers
  int exitCode;
  const char* report;     // in removal order: {A3}, {A2}, {A1}
};

void PrintTo(const ResultCase& test, std::ostream* stream) { *stream << test.name; }

const ResultCase kResultCases[] = {
    {"AllRemoved", {0, 0, 0}, {0, 0, 0}, 0,
     "{A3} 3.0 removed\n{A2} 2.0 removed\n{A1} 1.0 removed\n"
     "summary: 3 members, 3 removed, 0 restart-needed, 0 kept, 0 failed; exit code 0\n"},
    {"RestartRequired", {0, 3010, 0}, {0, 0, 0}, 3010,
     "{A3} 3.0 removed restart-needed\n{A2} 2.0 removed\n{A1} 1.0 removed\n"
     "summary: 3 members, 3 removed, 1 restart-needed, 0 kept, 0 failed; exit code 3010\n"},
    {"RestartInitiatedIsReportedAs3010", {0, 0, 1641}, {0, 0, 0}, 3010,
     "{A3} 3.0 removed\n{A2} 2.0 removed restart-needed\n{A1} 1.0 removed\n"
     "summary: 3 members, 3 removed, 1 restart-needed, 0 kept, 0 failed; exit code 3010\n"},
    {"RemovedFromTheCopyWithRestart", {1603, 0, 0}, {3010, 0, 0}, 3010,
     "{A3} 3.0 removed\n{A2} 2.0 removed\n{A1} 1.0 removed from-copy restart-needed\n"
     "summary: 3 members, 3 removed, 1 restart-needed, 0 kept, 0 failed; exit code 3010\n"},
    {"RefusedBothWays", {1603, 0, 0}, {1605, 0, 0}, 1603,
     "{A3} 3.0 removed\n{A2} 2.0 removed\n{A1} 1.0 not-removed error=1603 copy-error=1605\n"
     "summary: 3 members, 2 removed, 0 restart-needed, 0 kept, 1 failed; exit code 1603\n"},
    {"FailureOutranksRestart", {1603, 3010, 0}, {1618, 0, 0}, 1603,
     "{A3} 3.0 removed restart-needed\n{A2} 2.0 removed\n{A1} 1.0 not-removed error=1603 copy-error=1618\n"
     "summary: 3 members, 2 removed, 1 restart-needed, 0 kept, 1 failed; exit code 1603\n"},
};

class RemovalResult : public testing::TestWithParam<ResultCase> {};

TEST_P(RemovalResult, ReportsEachMemberAndTheResultExitCode) {
  const ResultCase& test = GetParam();
  const std::wstring packages[] = {L"a1.msi", L"a3.msi", L"a2.msi"};
  // The cached packages the fake names are real files, so the copy is made and the removal runs.
  std::vector<std::wstring> paths;
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  FakeInstaller installer(Family());
  for (int i = 0; i < 3; ++i) {
    paths.push_back(std::wstring(folder) + L"cached-" + packages[i]);
    HANDLE file = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    installer.products[i].localPackage = paths.back();
    installer.products[i].packageName = packages[i];
    installer.products[i].configureResult = test.configure[i];
    installer.products[i].installResult = test.install[i];
  }
  const Output output = ToolRun({L"/uninstall", L"/report", kCode}, installer);
  for (const std::wstring& path : paths) DeleteFileW(path.c_str());
  FakeInstaller classic;
  const std::string banner = ClassicRun({L"/hideoldaddremoves"}, classic).standardOutput;
  EXPECT_EQ(output.exitCode, test.exitCode);
  EXPECT_EQ(output.standardOutput, banner + test.report);
  EXPECT_EQ(output.standardError, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, RemovalResult, testing::ValuesIn(kResultCases),
                         [](const testing::TestParamInfo<ResultCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ExtendedRun, NoCopyIsSaidWhenTheCachedPackageIsUnknown) {
  installer_.products = {Member(L"{A1}", L"1.0")};
  installer_.products[0].configureResult = 1603;
  const Output output = Run({L"/uninstall", L"/report", kCode});
  EXPECT_EQ(output.exitCode, 1603);
  EXPECT_EQ(Report(output),
            "{A1} 1.0 not-removed error=1603 no-copy\n"
            "summary: 1 members, 0 removed, 0 restart-needed, 0 kept, 1 failed; exit code 1603\n");
}

TEST_F(ExtendedRun, HideOfAFamilyWithoutEntriesSaysNoEntryAndKeepsTheNewest) {
  const Output output = Run({L"/hideoldaddremoves", L"/report", kCode});
  EXPECT_EQ(output.exitCode, 0);
  EXPECT_EQ(Report(output),
            "{A1} 1.0 no-entry\n"
            "{A3} 3.0 kept newest\n"
            "{A2} 2.0 no-entry\n"
            "summary: 3 members, 0 hidden, 1 kept, 2 no-entry, 0 failed; exit code 0\n");
}

}  // namespace

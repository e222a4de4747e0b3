#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kGuid = L"{4B1D7E92-3A5C-4e81-B07F-6C2D9A18E35B}";

struct ParseCase {
  const char* name;
  std::vector<std::wstring> arguments;  // after the program
  bool valid;
  bool hideOld;
  bool uninstall;
  bool help;
  std::wstring upgradeCode;
};

std::wstring Join(const wchar_t* first, const wchar_t* second) {
  return std::wstring(first) + second;
}

const ParseCase kParseCases[] = {
    {"NoArguments", {}, false, false, false, false, L""},
    {"FourArguments", {L"/?", L"/?", L"/?"}, false, false, false, false, L""},
    {"TooManyEvenIfAllKnown", {L"/uninstall", L"/hideoldaddremoves", Join(L"/u:", kGuid)},
     false, false, false, false, L""},
    {"HideAlone", {L"/hideoldaddremoves"}, true, true, false, false, L""},
    {"HideAnyCase", {L"/HIDEOLDADDREMOVES"}, true, true, false, false, L""},
    {"UninstallAnyCase", {L"/Uninstall"}, true, false, true, false, L""},
    {"HideWithCode", {L"/hideoldaddremoves", Join(L"/u:", kGuid)}, true, true, false, false, kGuid},
    {"CodeAlone", {Join(L"/u:", kGuid)}, true, false, false, false, kGuid},
    {"CodeMarkerIsCaseSensitive", {Join(L"/U:", kGuid)}, false, false, false, false, L""},
    {"CodeAfterLastColon", {L"/u:a:b"}, true, false, false, false, L"b"},
    {"CodeMarkerAnywhere", {Join(L"x/u:", kGuid)}, true, false, false, false, kGuid},
    {"EmptyCode", {L"/u:"}, true, false, false, false, L""},
    {"LastCodeWins", {L"/u:A", L"/u:B"}, true, false, false, false, L"B"},
    {"BothActions", {L"/uninstall", L"/hideoldaddremoves"}, true, true, true, false, L""},
    {"UninstallThenHelp", {L"/uninstall", L"/?"}, true, false, true, true, L""},
    {"HelpStopsBeforeUnknown", {L"/?", L"/bogus"}, true, false, false, true, L""},
    {"UnknownStopsBeforeHelp", {L"/bogus", L"/?"}, false, false, false, false, L""},
    {"UnknownStopsBeforeCode", {L"/bogus", L"/u:X"}, false, false, false, false, L""},
    {"HelpUpperCase", {L"/HELP"}, true, false, false, true, L""},
    {"HelpDoubleDash", {L"--h"}, true, false, false, true, L""},
    {"HelpDashQuestion", {L"-?"}, true, false, false, true, L""},
    {"HelpDoubleDashQuestion", {L"--?"}, true, false, false, true, L""},
    {"HelpSlashH", {L"/h"}, true, false, false, true, L""},
    {"HelpDashHelp", {L"-Help"}, true, false, false, true, L""},
    {"HelpDoubleDashHelp", {L"--help"}, true, false, false, true, L""},
    {"HelpDashH", {L"-H"}, true, false, false, true, L""},
    {"NotQuiteHelp", {L"/??"}, false, false, false, false, L""},
    {"NonAsciiDoesNotFold", {L"/\u0130elp"}, false, false, false, false, L""},
    {"EmptyArgument", {L""}, false, false, false, false, L""},
    {"SwitchWithTrailingSpace", {L"/uninstall "}, false, false, false, false, L""},
};

class CommandLineParse : public testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, SetsFieldsAndValidity) {
  const ParseCase& testCase = GetParam();
  std::vector<const wchar_t*> argv = {L"C:\\Tools\\msitool.exe"};
  for (const std::wstring& argument : testCase.arguments) {
    argv.push_back(argument.c_str());
  }
  CommandLine commandLine;
  commandLine.Parse(static_cast<int>(argv.size()), argv.data());

  EXPECT_EQ(commandLine.IsValid(), testCase.valid);
  EXPECT_EQ(commandLine.hideOld(), testCase.hideOld);
  EXPECT_EQ(commandLine.uninstall(), testCase.uninstall);
  EXPECT_EQ(commandLine.help(), testCase.help);
  EXPECT_EQ(commandLine.upgradeCode(), testCase.upgradeCode);
  EXPECT_EQ(commandLine.argumentCount(), static_cast<int>(argv.size()));
  EXPECT_EQ(commandLine.programPath(), L"C:\\Tools\\msitool.exe");
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineParse, testing::ValuesIn(kParseCases),
                         [](const testing::TestParamInfo<ParseCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(CommandLine, StartsEmptyAndValidBeforeParse) {
  const CommandLine commandLine;
  EXPECT_TRUE(commandLine.IsValid());
  EXPECT_TRUE(commandLine.programPath().empty());
  EXPECT_TRUE(commandLine.upgradeCode().empty());
}

TEST(CommandLine, ZeroArgumentsKeepTheProgramPathEmpty) {
  CommandLine commandLine;
  commandLine.Parse(0, nullptr);
  EXPECT_FALSE(commandLine.IsValid());
  EXPECT_TRUE(commandLine.programPath().empty());
}

TEST(CommandLine, VeryLongArgumentsAreTakenWhole) {
  const std::wstring code(32767, L'x');
  const std::wstring argument = L"/u:" + code;
  const wchar_t* argv[] = {L"msitool.exe", argument.c_str()};
  CommandLine commandLine;
  commandLine.Parse(2, argv);
  EXPECT_TRUE(commandLine.IsValid());
  EXPECT_EQ(commandLine.upgradeCode(), code);
}

}  // namespace

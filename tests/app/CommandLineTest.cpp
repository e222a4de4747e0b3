#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CommandLines.h"

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
    {"EmptyArgument", {L""}, false, false, false, false, L""},
    {"SwitchWithTrailingSpace", {L"/uninstall "}, false, false, false, false, L""},
    // Only A to Z fold: U+0130 and U+017F would fold to i and s under Unicode rules, U+212A to k.
    {"DottedCapitalIDoesNotFold", {L"/h\u0130deoldaddremoves"}, false, false, false, false, L""},
    {"LongSDoesNotFold", {L"/unin\u017ftall"}, false, false, false, false, L""},
    {"KelvinSignStaysInTheCode", {L"/u:\u212a"}, true, false, false, false, L"\u212a"},
    {"ControlCharacterAfterSwitch", {L"/uninstall\x01"}, false, false, false, false, L""},
    {"TabBeforeHelp", {L"\t/?"}, false, false, false, false, L""},
    {"DeleteCharacterInCode", {L"/u:\x7f"}, true, false, false, false, L"\x7f"},
    {"VeryLongCodeIsTakenWhole", {L"/u:" + std::wstring(32767, L'x')}, true, false, false, false,
     std::wstring(32767, L'x')},
    {"VeryLongUnknownArgument", {std::wstring(32767, L'k')}, false, false, false, false, L""},
};

class CommandLineParse : public testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, SetsFieldsAndValidity) {
  const ParseCase& testCase = GetParam();
  const CommandLine commandLine = ParseArguments(testCase.arguments, L"C:\\Tools\\msitool.exe");

  EXPECT_EQ(commandLine.IsValid(), testCase.valid);
  EXPECT_EQ(commandLine.hideOld(), testCase.hideOld);
  EXPECT_EQ(commandLine.uninstall(), testCase.uninstall);
  EXPECT_EQ(commandLine.help(), testCase.help);
  EXPECT_EQ(commandLine.upgradeCode(), testCase.upgradeCode);
  EXPECT_EQ(commandLine.argumentCount(), static_cast<int>(testCase.arguments.size()) + 1);
  EXPECT_EQ(commandLine.programPath(), L"C:\\Tools\\msitool.exe");
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineParse, testing::ValuesIn(kParseCases),
                         [](const testing::TestParamInfo<ParseCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(CommandLine, ZeroArgumentsKeepTheProgramPathEmpty) {
  CommandLine commandLine;
  commandLine.Parse(0, nullptr);
  EXPECT_FALSE(commandLine.IsValid());
  EXPECT_TRUE(commandLine.programPath().empty());
}

}  // namespace

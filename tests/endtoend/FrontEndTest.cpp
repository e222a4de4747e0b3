#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "endtoend/EndToEnd.h"

namespace {

struct FrontEndCase {
  const char* name;
  std::wstring arguments;
  DWORD exitCode;
  bool printsUsage;
};

void PrintTo(const FrontEndCase& test, std::ostream* stream) { *stream << test.name; }

const std::wstring kCode = kUnknownUpgradeCode;

class FrontEndTest : public testing::TestWithParam<FrontEndCase> {};

TEST_P(FrontEndTest, WritesBannerThenUsageWhenAskedAndExitsWithItsCode) {
  const FrontEndCase& test = GetParam();
  const ProcessOutput output = RunTool(test.arguments);
  EXPECT_EQ(test.exitCode, output.exitCode);
  EXPECT_EQ(test.printsUsage ? kBanner + UsageText("msitool.exe") : kBanner, output.standardOutput);
  EXPECT_EQ("", output.standardError);
}

// The wiring of each kind of line; CommandLineTest has the parser's cases, and ExtendedCommandLineTest
// checks that every classic line gives the classic texts.
INSTANTIATE_TEST_SUITE_P(
    CommandLines, FrontEndTest,
    testing::Values(
        FrontEndCase{"NoArguments", L"", kBadArguments, true},
        FrontEndCase{"FourArguments", L"/hideoldaddremoves /uninstall /u:" + kCode + L" /?", kBadArguments, true},
        FrontEndCase{"HelpSlashQuestionMark", L"/?", kSuccess, true},
        FrontEndCase{"UpgradeSwitchInUpperCase", L"/U:" + kCode, kBadArguments, true},
        FrontEndCase{"HideWithoutUpgradeCode", L"/hideoldaddremoves", kSuccess, false},
        FrontEndCase{"UnknownThenHelp", L"/bogus /?", kBadArguments, true},
        FrontEndCase{"HelpThenUnknown", L"/? /bogus", kSuccess, true}),
    [](const testing::TestParamInfo<FrontEndCase>& info) { return std::string(info.param.name); });

}  // namespace

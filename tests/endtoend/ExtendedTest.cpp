#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "endtoend/EndToEnd.h"

namespace {

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; *text != L'\0'; ++text) narrow += static_cast<char>(*text);
  return narrow;
}

std::string Code(const TestPackage& package) { return Narrow(package.productCode); }

std::wstring UpgradeSwitch(const wchar_t* upgradeCode) { return L"/u:" + std::wstring(upgradeCode); }

// x64 2.0.0 first, then x86 1.0.0 (hidden before the run), 3.0.0 and its 3.0.0 twin.
class ExtendedListTest : public InstalledProductsTest {
 protected:
  ExtendedListTest() : InstalledProductsTest({kSample2, kSample1, kSample3, kSample3Twin}) {}

  // Which of the 3.0.0 twins hiding and /keepnewest keep (the first enumerated, in an order the
  // installer chooses), and the other, as a listing tells.
  std::pair<const TestPackage*, const TestPackage*> KeptAndTiedTwin() {
    const std::string listing = RunTool(L"/list " + UpgradeSwitch(kSampleUpgradeCode)).standardOutput;
    const std::size_t line = listing.find(Code(kSample3));
    const bool firstKept = line != std::string::npos && listing.find("hide=keep", line) < listing.find('\n', line);
    return firstKept ? std::pair{&kSample3, &kSample3Twin} : std::pair{&kSample3Twin, &kSample3};
  }
};

TEST_F(ExtendedListTest, ListsEveryMemberAndChangesNothing) {
  // Hide all but the newest, as an earlier run would have.
  ASSERT_EQ(kSuccess, RunTool(L"/hideoldaddremoves " + UpgradeSwitch(kSampleUpgradeCode)).exitCode);
  const auto [kept, tied] = KeptAndTiedTwin();
  const RegistryValues before1 = EntryNow(kSample1), before2 = EntryNow(kSample2),
                       before3 = EntryNow(kSample3), beforeTwin = EntryNow(kSample3Twin);
  const ProcessOutput output = RunTool(L"/list " + UpgradeSwitch(kSampleUpgradeCode));
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ("", output.standardError);
  const std::string tail = " name=Quorvin Sample\n";
  const std::string lines[] = {
      Code(kSample2) + " 2.0.0 per-machine 32-bit=none 64-bit=hidden hide=hide uninstall=3 keepnewest=remove" + tail,
      Code(kSample1) + " 1.0.0 per-machine 32-bit=hidden 64-bit=none hide=hide uninstall=4 keepnewest=remove" + tail,
      Code(*kept) + " 3.0.0 per-machine 32-bit=visible 64-bit=none hide=keep uninstall=1 keepnewest=keep" + tail,
      Code(*tied) + " 3.0.0 per-machine 32-bit=hidden 64-bit=none hide=hide uninstall=2 keepnewest=remove" + tail,
  };
  for (const std::string& line : lines) {
    EXPECT_NE(std::string::npos, output.standardOutput.find(line)) << line << "in\n" << output.standardOutput;
  }
  EXPECT_EQ(kBanner.size() + lines[0].size() + lines[1].size() + lines[2].size() + lines[3].size(),
            output.standardOutput.size());
  EXPECT_EQ(0u, output.standardOutput.find(kBanner));
  EXPECT_EQ(before1, EntryNow(kSample1));
  EXPECT_EQ(before2, EntryNow(kSample2));
  EXPECT_EQ(before3, EntryNow(kSample3));
  EXPECT_EQ(beforeTwin, EntryNow(kSample3Twin));
  // Still installed: a second listing finds the whole family.
  EXPECT_EQ(output.standardOutput, RunTool(L"/list " + UpgradeSwitch(kSampleUpgradeCode)).standardOutput);
}

TEST_F(ExtendedListTest, KeepNewestKeepsTheNewestOfATieAndReportsEachMember) {
  const auto [kept, tied] = KeptAndTiedTwin();
  const ProcessOutput output =
      RunTool(L"/uninstall /keepnewest /report " + UpgradeSwitch(kSampleUpgradeCode));
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(kBanner + Code(*kept) + " 3.0.0 kept keepnewest\n" + Code(*tied) + " 3.0.0 removed\n" +
                Code(kSample2) + " 2.0.0 removed\n" + Code(kSample1) + " 1.0.0 removed\n" +
                "summary: 4 members, 3 removed, 0 restart-needed, 1 kept, 0 failed; exit code 0\n",
            output.standardOutput);
  ExpectUntouched(*kept);
  ExpectRemoved(*tied);
  ExpectRemoved(kSample2);
  ExpectRemoved(kSample1);
}

TEST_F(ExtendedListTest, HideReportsEveryMember) {
  const ProcessOutput output = RunTool(L"/report /hideoldaddremoves " + UpgradeSwitch(kSampleUpgradeCode));
  EXPECT_EQ(kSuccess, output.exitCode);
  const auto [kept, tied] = KeptAndTiedTwin();
  for (const std::string& line :
       {Code(kSample2) + " 2.0.0 hidden 64-bit\n", Code(kSample1) + " 1.0.0 hidden 32-bit\n",
        Code(*kept) + " 3.0.0 kept newest\n", Code(*tied) + " 3.0.0 hidden 32-bit\n",
        std::string("summary: 4 members, 3 hidden, 1 kept, 0 no-entry, 0 failed; exit code 0\n")}) {
    EXPECT_NE(std::string::npos, output.standardOutput.find(line)) << line;
  }
  ExpectHidden(kSample1);
  ExpectHidden(kSample2);
  ExpectHidden(*tied);
  ExpectUntouched(*kept);
}

TEST(ExtendedEmptyFamilyTest, ListSaysTheFamilyHasNoMembers) {
  const ProcessOutput output = RunTool(L"/list " + UpgradeSwitch(kUnknownUpgradeCode));
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(kBanner + Narrow(kUnknownUpgradeCode) + " no-members\n", output.standardOutput);
  EXPECT_EQ("", output.standardError);
}

class ExtendedRestartTest : public InstalledProductsTest {
 protected:
  ExtendedRestartTest() : InstalledProductsTest({kRestart}) {}
};

TEST_F(ExtendedRestartTest, ARemovalThatSchedulesARestartEndsWith3010) {
  const ProcessOutput output = RunTool(L"/uninstall /report " + UpgradeSwitch(kRestartUpgradeCode));
  EXPECT_EQ(kRestartNeeded, output.exitCode);
  EXPECT_EQ(kBanner + Code(kRestart) + " 1.0.0 removed restart-needed\n" +
                "summary: 1 members, 1 removed, 1 restart-needed, 0 kept, 0 failed; exit code 3010\n",
            output.standardOutput);
  ExpectRemoved(kRestart);
}

TEST_F(ExtendedRestartTest, WithoutReportOnlyTheExitCodeTellsIt) {
  const ProcessOutput output = RunTool(L"/UNINSTALL " + UpgradeSwitch(kRestartUpgradeCode) + L" /KeepNewest");
  EXPECT_EQ(kSuccess, output.exitCode);  // the lone member is the one kept
  EXPECT_EQ(kBanner, output.standardOutput);
  ExpectUntouched(kRestart);
  const ProcessOutput removal = RunTool(L"/Report " + UpgradeSwitch(kRestartUpgradeCode) + L" /uninstall");
  EXPECT_EQ(kRestartNeeded, removal.exitCode);
}

}  // namespace

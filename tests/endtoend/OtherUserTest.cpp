#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "common/Utf8.h"
#include "endtoend/EndToEnd.h"
#include "support/JsonDocuments.h"
#include "support/ReportAgreement.h"
#include "support/TemporaryFiles.h"

// A shared machine's family: 1.0.0 and 2.0.0 installed per machine, and the newest, 3.0.0, installed
// for another user, whose SID names no account here. Every action lists that member as the other
// user's, leaves it installed and visible as it was, and keeps what it would keep without it.
namespace {

const std::wstring kFamily = L" /u:" + std::wstring(kSampleUpgradeCode);
const std::string kOtherUser = "other-user sid=S-1-5-21-1111-2222-3333-1001";

std::string Record(const TestPackage& package, const std::string& rest) {
  return ToUtf8(package.productCode) + " " + ToUtf8(package.version) + " " + rest + "\n";
}

// What a run wrote after the banner.
std::string Report(const ProcessOutput& output) {
  EXPECT_EQ(0u, output.standardOutput.rfind(kBanner, 0)) << output.standardOutput;
  return output.standardOutput.substr(std::min(kBanner.size(), output.standardOutput.size()));
}

// The records of a run's log, without their time stamps, header and closing exit code: what the
// same run's /report would have printed.
std::string LoggedReport(const std::wstring& log) {
  std::istringstream lines(ReadFileBytes(log));
  std::string report;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = line.substr(line.find(' ') + 1);
    if (line.rfind("msitool ", 0) != 0 && line.rfind("exit code ", 0) != 0) report += line + "\n";
  }
  return report;
}

class OtherUserTest : public InstalledProductsTest {
 protected:
  OtherUserTest() : InstalledProductsTest({kSample2, kSample1}) {}

  void SetUp() override {
    InstalledProductsTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(otherUser_.Make());
  }

  AnotherUsersInstall otherUser_{kSample3};
};

TEST_F(OtherUserTest, FamiliesListsTheMemberWithItsSidAndCountsIt) {
  const ProcessOutput output = RunTool(L"/families");
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ("", output.standardError);
  const std::string report =
      // Another user's entry is not this account's to hide, so it does not count.
      ToUtf8(kSampleUpgradeCode) + " family members=3 visible-entries=2\n" +
      Record(kSample3, kOtherUser + " 32-bit=visible 64-bit=none name=Quorvin Sample") +
      Record(kSample2, "per-machine 32-bit=none 64-bit=visible name=Quorvin Sample") +
      Record(kSample1, "per-machine 32-bit=visible 64-bit=none name=Quorvin Sample") +
      "summary: 1 families, 3 members, 0 without-family, 1 several-visible-entries, 1 other-user; exit code 0\n";
  EXPECT_EQ(report, Report(output));
  const ProcessOutput json = RunTool(L"/families /json");
  KeepJsonDocument("endtoend-other-user-families", json.standardOutput);
  ExpectJsonAgreesWithReport(report, json.standardOutput);
}

TEST_F(OtherUserTest, ListPlansToLeaveTheMemberAndKeepsTheNewestOfThisMachine) {
  const ProcessOutput output = RunTool(L"/list" + kFamily);
  EXPECT_EQ(kSuccess, output.exitCode);
  const std::string report =
      Record(kSample3, kOtherUser + " 32-bit=visible 64-bit=none hide=leave uninstall=leave keepnewest=leave "
                                    "name=Quorvin Sample") +
      Record(kSample2, "per-machine 32-bit=none 64-bit=visible hide=keep uninstall=1 keepnewest=keep name=Quorvin Sample") +
      Record(kSample1, "per-machine 32-bit=visible 64-bit=none hide=hide uninstall=2 keepnewest=remove name=Quorvin Sample");
  EXPECT_EQ(report, Report(output));
  const ProcessOutput json = RunTool(L"/list /json" + kFamily);
  KeepJsonDocument("endtoend-other-user-list", json.standardOutput);
  ExpectJsonAgreesWithReport(report, json.standardOutput);
  EXPECT_EQ(1, JsonNumber(json.standardOutput, "summary.otherUser"));
}

TEST_F(OtherUserTest, UninstallRemovesTheMachinesMembersAndReportsTheOtherUsersLeft) {
  const std::wstring log = TemporaryFolder() + L"msitool-other-user.log";
  const std::wstring installerLog = TemporaryFolder() + L"msitool-other-user.";
  const ProcessOutput output = RunTool(L"/uninstall /report /json /log:" + log + kFamily);
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(kBanner, output.standardError);
  KeepJsonDocument("endtoend-other-user-uninstall", output.standardOutput);
  const std::string report =
      Record(kSample3, kOtherUser) +
      Record(kSample2, "removed log=" + ToUtf8(installerLog + kSample2.productCode) + ".log") +
      Record(kSample1, "removed log=" + ToUtf8(installerLog + kSample1.productCode) + ".log") +
      "summary: 3 members, 2 removed, 0 restart-needed, 0 kept, 0 failed, 1 other-user; exit code 0\n";
  EXPECT_EQ(report, LoggedReport(log));
  ExpectJsonAgreesWithReport(report, output.standardOutput);
  ExpectRemoved(kSample1);
  ExpectRemoved(kSample2);
  otherUser_.ExpectUntouched();
  for (const TestPackage& package : {kSample1, kSample2}) DeleteFileW((installerLog + package.productCode + L".log").c_str());
  DeleteFileW(log.c_str());
}

TEST_F(OtherUserTest, KeepNewestKeepsTheNewestOfThisMachineNotTheOtherUsers) {
  const ProcessOutput output = RunTool(L"/uninstall /keepnewest /report" + kFamily);
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(Record(kSample3, kOtherUser) + Record(kSample2, "kept keepnewest") + Record(kSample1, "removed") +
                "summary: 3 members, 1 removed, 0 restart-needed, 1 kept, 0 failed, 1 other-user; exit code 0\n",
            Report(output));
  ExpectUntouched(kSample2);
  ExpectRemoved(kSample1);
  otherUser_.ExpectUntouched();
}

TEST_F(OtherUserTest, HidingKeepsTheNewestOfThisMachineVisibleAndLeavesTheOtherUsersEntry) {
  const ProcessOutput output = RunTool(L"/hideoldaddremoves /report" + kFamily);
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(Record(kSample3, kOtherUser) + Record(kSample2, "kept newest") + Record(kSample1, "hidden 32-bit") +
                "summary: 3 members, 1 hidden, 1 kept, 0 no-entry, 0 failed, 1 other-user; exit code 0\n",
            Report(output));
  ExpectHidden(kSample1);
  ExpectUntouched(kSample2);
  otherUser_.ExpectUntouched();
  // Hidden down to this machine's newest, the family no longer shows several entries to hide.
  EXPECT_NE(std::string::npos, RunTool(L"/families").standardOutput.find(
                                   "family members=3 visible-entries=1\n"));
}

TEST_F(OtherUserTest, ClassicUninstallLeavesTheOtherUsersProductAndCopiesNoPackage) {
  const TemporaryFolderWatch packages(L"*.msi");
  ExpectQuietSuccess(RunTool(L"/uninstall" + kFamily));
  ExpectRemoved(kSample1);
  ExpectRemoved(kSample2);
  otherUser_.ExpectUntouched();
  EXPECT_EQ(packages.Added(), std::vector<std::wstring>{});
}

}  // namespace

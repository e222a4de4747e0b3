#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "endtoend/EndToEnd.h"
#include "registry/PackedGuid.h"
#include "support/JsonDocuments.h"
#include "support/TemporaryFiles.h"
#include "support/TestRegistry.h"

namespace {

class UninstallTest : public InstalledProductsTest {};

TEST_F(UninstallTest, RemovesEveryMemberFromBothViewsAndTheDiskAndLeavesOthersAndNoCopy) {
  const TemporaryFolderWatch packages(L"*.msi");
  ExpectQuietSuccess(RunTool(L"/uninstall /u:" + std::wstring(kSampleUpgradeCode)));
  ExpectRemoved(kSample1);
  ExpectRemoved(kSample2);
  ExpectRemoved(kSample3);
  ExpectUntouched(kOther);
  EXPECT_EQ(packages.Added(), std::vector<std::wstring>{});
}

// A value of the family's registration whose name is longer than a packed code, ahead of every
// member's: the installer's enumeration answers an error at its index and the members after it.
TEST_F(UninstallTest, RemovesEveryMemberPastACorruptRegistrationValue) {
  const std::wstring family =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\" + *PackGuid(kSampleUpgradeCode);
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, family, L"0000000000000000000000000000000000000000", L"", View::k64));
  ExpectQuietSuccess(RunTool(L"/uninstall /u:" + std::wstring(kSampleUpgradeCode)));
  ExpectRemoved(kSample1);
  ExpectRemoved(kSample2);
  ExpectRemoved(kSample3);
  ExpectUntouched(kOther);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, family, View::k64);
}

const std::wstring kSampleRegistration =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\" + *PackGuid(kSampleUpgradeCode);

// Two members, and values that are no packed product codes planted where Wine's installer reads the
// family's registration, which goes with them afterwards.
class DamagedRegistrationTest : public InstalledProductsTest {
 protected:
  DamagedRegistrationTest() : InstalledProductsTest({kSample1, kSample2}) {}
  void TearDown() override {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSampleRegistration, View::k64);
    InstalledProductsTest::TearDown();
  }
  void Plant(const std::wstring& name) {
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kSampleRegistration, name.c_str(), L"", View::k64));
  }
  const ScratchFolder folder_;
  const std::wstring tool_ = L" /report /json /log:" + folder_.path() + L"run.log /u:" + kSampleUpgradeCode;
};

// 32 characters that are not hex: Wine's installer answers success with a garbled code, no member.
TEST_F(DamagedRegistrationTest, AGarbledCodeIsNoMember) {
  Plant(L"!GGGGGGGGGGGGGGGGGGGGGGGGGGGGGGG");
  const ProcessOutput output = RunTool(L"/uninstall /keepnewest" + tool_);
  KeepJsonDocument("endtoend-garbled-code", output.standardOutput);
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(2, JsonNumber(output.standardOutput, "summary.members"));
  EXPECT_EQ(1, JsonNumber(output.standardOutput, "summary.removed"));
  EXPECT_NE(ReadFileBytes(folder_.path() + L"run.log").find("\"{GGGGGGG!-GGGG-GGGG-GGGG-GGGGGGGGGGGG}\", no new"),
            std::string::npos);
  ExpectRemoved(kSample1);
  ExpectUntouched(kSample2);
}

// Names longer than a packed code, ahead of the members': Wine's installer answers ERROR_MORE_DATA
// at each index. They are entries of the registration, so the bound holds them all.
TEST_F(DamagedRegistrationTest, AFamilyBehindManyJunkValuesIsReadToTheEnd) {
  for (int i = 1000; i < 2100; ++i) Plant(L"!junk-" + std::to_wstring(i) + std::wstring(30, L'0'));
  const ProcessOutput output = RunTool(L"/uninstall" + tool_);
  KeepJsonDocument("endtoend-junk-values", output.standardOutput);
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(2, JsonNumber(output.standardOutput, "summary.removed"));
  const std::string log = ReadFileBytes(folder_.path() + L"run.log");
  std::size_t answered = 0;
  for (std::size_t at = log.find(": error 234, "); at != std::string::npos; at = log.find(": error 234, ", at + 1)) ++answered;
  EXPECT_EQ(1100u, answered);
  ExpectRemoved(kSample1);
  ExpectRemoved(kSample2);
}

}  // namespace

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

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Two members, x86 1.0.0 and x64 2.0.0, and junk values the test plants in the family's
// registration, which Wine's installer reads, each removed again afterwards.
class DamagedRegistrationTest : public InstalledProductsTest {
 protected:
  DamagedRegistrationTest() : InstalledProductsTest({kSample1, kSample2}) {}
  void TearDown() override {
    // Removing a member may take the whole registration away (Wine); what is left goes here.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSampleRegistration.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) ==
        ERROR_SUCCESS) {
      for (const std::wstring& name : planted_) RegDeleteValueW(key, name.c_str());
      RegCloseKey(key);
    }
    InstalledProductsTest::TearDown();
  }
  void Plant(const std::wstring& name) {
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kSampleRegistration, name.c_str(), L"", View::k64));
    planted_.push_back(name);
  }
  const ScratchFolder folder_;
  const std::wstring log_ = folder_.path() + L"run.log";

 private:
  std::vector<std::wstring> planted_;
};

// 32 characters that are no hex digits: Wine's installer answers success with a garbled code for
// it, which is no member: the newest real member is kept and the other removed.
TEST_F(DamagedRegistrationTest, AGarbledCodeIsNoMember) {
  Plant(L"!GGGGGGGGGGGGGGGGGGGGGGGGGGGGGGG");
  const ProcessOutput output = RunTool(L"/uninstall /keepnewest /report /json /log:" + log_ + L" /u:" +
                                       kSampleUpgradeCode);
  KeepJsonDocument("endtoend-garbled-code", output.standardOutput);
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ((std::vector<std::wstring>{kSample2.productCode, kSample1.productCode}),
            JsonStrings(output.standardOutput, L"productCode"));
  EXPECT_EQ(2, JsonNumber(output.standardOutput, "summary.members"));
  EXPECT_EQ(1, JsonNumber(output.standardOutput, "summary.removed"));
  EXPECT_EQ(1, JsonNumber(output.standardOutput, "summary.kept"));
  EXPECT_NE(ReadFileBytes(log_).find("answered success with \"{GGGGGGG!-GGGG-GGGG-GGGG-GGGGGGGGGGGG}\", no new "
                                     "product code"),
            std::string::npos);
  ExpectRemoved(kSample1);
  ExpectUntouched(kSample2);
}

// 1,100 values ahead of the members whose names are longer than a packed code: Wine's installer
// answers ERROR_MORE_DATA at each of their indexes. They are entries of the registration, so the
// enumeration's bound holds them, and it reads past them to both members and the end.
TEST_F(DamagedRegistrationTest, AFamilyBehindManyJunkValuesIsReadToTheEnd) {
  for (int i = 0; i < 1100; ++i) {
    wchar_t name[48] = {};
    swprintf(name, 48, L"!junk-%04d-000000000000000000000000000000", i);
    Plant(name);
  }
  const ProcessOutput output =
      RunTool(L"/uninstall /report /json /log:" + log_ + L" /u:" + kSampleUpgradeCode);
  KeepJsonDocument("endtoend-junk-values", output.standardOutput);
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(2, JsonNumber(output.standardOutput, "summary.members"));
  EXPECT_EQ(2, JsonNumber(output.standardOutput, "summary.removed"));
  EXPECT_EQ(JsonAt(output.standardOutput, "readShort.0"), std::nullopt);
  const std::string log = ReadFileBytes(log_);
  EXPECT_EQ(1100u, Count(log, "'s members: error 234, ")) << log.substr(0, 2000);
  EXPECT_EQ(0u, Count(log, "read short")) << log.substr(0, 2000);
  ExpectRemoved(kSample1);
  ExpectRemoved(kSample2);
}

}  // namespace

#include <gtest/gtest.h>

#include <vector>

#include "endtoend/EndToEnd.h"
#include "support/JsonDocuments.h"
#include "support/Tokens.h"
#include "support/WindowsXpOverride.h"

namespace {

TEST(RestrictedTokenTest, HoldsAdministratorsForDenyOnly) {
  const UniqueToken token = MakeTokenWithoutAdministrators();
  ASSERT_TRUE(token);
  const DWORD attributes = AdministratorsAttributes(token.get());
  ASSERT_NE(kNotInToken, attributes);
  EXPECT_EQ(static_cast<DWORD>(SE_GROUP_USE_FOR_DENY_ONLY), attributes & SE_GROUP_USE_FOR_DENY_ONLY);
  EXPECT_EQ(0u, attributes & SE_GROUP_ENABLED);
}

TEST(PrivilegeTest, DenyOnlyAdministratorPassesFromVersion6) {
  const UniqueToken token = MakeTokenWithoutAdministrators();
  ASSERT_TRUE(token);
  const ProcessOutput output = RunTool(L"/hideoldaddremoves", token.get());
  ExpectQuietSuccess(output);
}

// Wine reports version 5.1 to msitool.exe, where only an enabled Administrators membership counts.
class WindowsXpPrivilegeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(windowsXp_.Apply()); }
  void TearDown() override { windowsXp_.Remove(); }

 private:
  WindowsXpOverride windowsXp_{L"msitool.exe"};
};

TEST_F(WindowsXpPrivilegeTest, HelpNeedsNoAdministrator) {
  const UniqueToken token = MakeTokenWithoutAdministrators();
  ASSERT_TRUE(token);
  const ProcessOutput output = RunTool(L"/?", token.get());
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(kBanner + UsageText("msitool.exe"), output.standardOutput);
  EXPECT_EQ("", output.standardError);
}

TEST_F(WindowsXpPrivilegeTest, EnabledAdministratorPasses) {
  const ProcessOutput output = RunTool(L"/hideoldaddremoves");
  ExpectQuietSuccess(output);
}

TEST_F(WindowsXpPrivilegeTest, ExtendedListNeedsAnAdministrator) {
  const UniqueToken token = MakeTokenWithoutAdministrators();
  ASSERT_TRUE(token);
  const ProcessOutput output = RunTool(L"/list /u:" + std::wstring(kSampleUpgradeCode), token.get());
  EXPECT_EQ(kAccessDenied, output.exitCode);
  EXPECT_EQ(kBanner, output.standardOutput);
  EXPECT_EQ(kPrivilegeError, output.standardError);
  // With /json the document still comes, and says why the run stopped.
  const ProcessOutput json = RunTool(L"/list /json /u:" + std::wstring(kSampleUpgradeCode), token.get());
  KeepJsonDocument("endtoend-gate", json.standardOutput);
  EXPECT_EQ(kAccessDenied, json.exitCode);
  EXPECT_EQ(kBanner + kPrivilegeError, json.standardError);
  EXPECT_EQ(static_cast<long long>(kAccessDenied), JsonNumber(json.standardOutput, "error.code"));
}

}  // namespace

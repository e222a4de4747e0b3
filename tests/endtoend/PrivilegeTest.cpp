#include <gtest/gtest.h>

#include <vector>

#include "common/UniqueHandle.h"
#include "endtoend/Tool.h"
#include "endtoend/ToolTexts.h"
#include "support/WindowsXpOverride.h"

namespace {

constexpr DWORD kSuccess = 0;
constexpr DWORD kAccessDenied = 5;
constexpr DWORD kNoGroup = 0xFFFFFFFF;

// The attributes of the Administrators group in the token, kNoGroup when it is not there.
DWORD AdministratorsAttributes(HANDLE token) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueSid administrators;
  DWORD size = 0;
  if (!AllocateAndInitializeSid(&ntAuthority, /*nSubAuthorityCount=*/2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, administrators.put())) {
    return kNoGroup;
  }
  GetTokenInformation(token, TokenGroups, /*TokenInformation=*/nullptr, /*TokenInformationLength=*/0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return kNoGroup;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD index = 0; index < groups->GroupCount; ++index) {
    if (EqualSid(groups->Groups[index].Sid, administrators.get())) return groups->Groups[index].Attributes;
  }
  return kNoGroup;
}

TEST(RestrictedTokenTest, HoldsAdministratorsForDenyOnly) {
  const UniqueToken token = MakeTokenWithoutAdministrators();
  ASSERT_TRUE(token);
  const DWORD attributes = AdministratorsAttributes(token.get());
  ASSERT_NE(kNoGroup, attributes);
  EXPECT_EQ(static_cast<DWORD>(SE_GROUP_USE_FOR_DENY_ONLY), attributes & SE_GROUP_USE_FOR_DENY_ONLY);
  EXPECT_EQ(0u, attributes & SE_GROUP_ENABLED);
}

TEST(PrivilegeTest, DenyOnlyAdministratorPassesFromVersion6) {
  const UniqueToken token = MakeTokenWithoutAdministrators();
  ASSERT_TRUE(token);
  const ProcessOutput output = RunTool(L"/hideoldaddremoves", token.get());
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(kBanner, output.standardOutput);
  EXPECT_EQ("", output.standardError);
}

// Wine reports version 5.1 to msitool.exe, where only an enabled Administrators membership counts.
class WindowsXpPrivilegeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(windowsXp_.Apply()); }
  void TearDown() override { windowsXp_.Remove(); }

 private:
  WindowsXpOverride windowsXp_{L"msitool.exe"};
};

TEST_F(WindowsXpPrivilegeTest, DenyOnlyAdministratorIsRefused) {
  const UniqueToken token = MakeTokenWithoutAdministrators();
  ASSERT_TRUE(token);
  const ProcessOutput output = RunTool(L"/hideoldaddremoves", token.get());
  EXPECT_EQ(kAccessDenied, output.exitCode);
  EXPECT_EQ(kBanner, output.standardOutput);
  EXPECT_EQ(kPrivilegeError, output.standardError);
}

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
  EXPECT_EQ(kSuccess, output.exitCode);
  EXPECT_EQ(kBanner, output.standardOutput);
  EXPECT_EQ("", output.standardError);
}

}  // namespace

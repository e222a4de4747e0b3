#include <gtest/gtest.h>

#include <string>

#include "endtoend/EndToEnd.h"
#include "support/Tokens.h"
#include "support/WindowsXpOverride.h"

namespace {

class UntouchedFamilyTest : public InstalledProductsTest {
 protected:
  void ExpectEverythingUntouched() const {
    for (const TestPackage& package : Packages()) ExpectUntouched(package);
  }
};

TEST_F(UntouchedFamilyTest, UnknownFamilyChangesNothing) {
  for (const wchar_t* action : {L"/hideoldaddremoves", L"/uninstall"}) {
    SCOPED_TRACE(testing::Message() << "action " << action);
    const ProcessOutput output = RunTool(std::wstring(action) + L" /u:" + kUnknownUpgradeCode);
    ExpectQuietSuccess(output);
    ExpectEverythingUntouched();
  }
}

TEST_F(UntouchedFamilyTest, RefusedUserChangesNothing) {
  WindowsXpOverride windowsXp(L"msitool.exe");
  ASSERT_TRUE(windowsXp.Apply());
  const UniqueToken token = MakeTokenWithoutAdministrators();
  ASSERT_TRUE(token);
  const ProcessOutput output = RunTool(L"/uninstall /u:" + std::wstring(kSampleUpgradeCode), token.get());
  windowsXp.Remove();
  EXPECT_EQ(kAccessDenied, output.exitCode);
  EXPECT_EQ(kBanner, output.standardOutput);
  EXPECT_EQ(kPrivilegeError, output.standardError);
  ExpectEverythingUntouched();
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ExitCodes.h"
#include "support/CommandLines.h"
#include "support/FakeInstaller.h"

namespace {

constexpr const wchar_t* kFamily = L"{00000000-0000-0000-0000-0000000000AA}";

class RunSequence : public testing::Test {
 protected:
  int Run(const std::vector<std::wstring>& arguments) { return ParseArguments(arguments).Run(installer_); }

  FakeInstaller installer_{{{L"{A1000000-0000-4000-8000-000000000000}", L"1.0"}, {L"{A2000000-0000-4000-8000-000000000000}", L"2.0"}}};
};

// Invalid lines, and lines without an upgrade code, are the sweep's: it checks every one of them.
TEST_F(RunSequence, HelpEndsWith0AndNeverAsksTheInstaller) {
  EXPECT_EQ(Run({L"/uninstall", L"/?"}), kExitSuccess);
  EXPECT_EQ(Run({L"/u:" + std::wstring(kFamily), L"/?"}), kExitSuccess);
  EXPECT_TRUE(installer_.calls.empty());
}

TEST_F(RunSequence, UpgradeCodeAloneBuildsTheFamilyButRunsNoAction) {
  EXPECT_EQ(Run({L"/u:" + std::wstring(kFamily)}), kExitSuccess);
  EXPECT_EQ(installer_.CallCount(L"EnumRelatedProducts"), 3);
  EXPECT_EQ(installer_.CallCount(L"GetProductInfo "), 2);
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
  EXPECT_EQ(installer_.CallCount(L"ConfigureProductEx"), 0);
}

TEST_F(RunSequence, UninstallRemovesTheFamilyNewestFirst) {
  EXPECT_EQ(Run({L"/uninstall", L"/u:" + std::wstring(kFamily)}), kExitSuccess);
  EXPECT_EQ(installer_.removed, (std::vector<std::wstring>{L"{A2000000-0000-4000-8000-000000000000}", L"{A1000000-0000-4000-8000-000000000000}"}));
}

TEST_F(RunSequence, FailedRemovalsStillEndWith0) {
  for (FakeProduct& product : installer_.products) {
    product.configureResult = kInstallFailure;
  }
  EXPECT_EQ(Run({L"/uninstall", L"/u:" + std::wstring(kFamily)}), kExitSuccess);
  EXPECT_TRUE(installer_.removed.empty());
  EXPECT_EQ(installer_.uiLevel, FakeInstaller::kStartingUiLevel);
}

}  // namespace

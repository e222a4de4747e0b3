#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ExitCodes.h"
#include "support/FakeInstaller.h"

namespace {

constexpr const wchar_t* kFamily = L"{00000000-0000-0000-0000-0000000000AA}";

FakeProduct Member(const wchar_t* code, const wchar_t* version) {
  FakeProduct product;
  product.productCode = code;
  product.version = version;
  return product;
}

class RunSequence : public testing::Test {
 protected:
  int Run(const std::vector<std::wstring>& arguments) {
    std::vector<const wchar_t*> argv = {L"msitool.exe"};
    for (const std::wstring& argument : arguments) {
      argv.push_back(argument.c_str());
    }
    CommandLine commandLine;
    commandLine.Parse(static_cast<int>(argv.size()), argv.data());
    return commandLine.Run(installer_);
  }

  FakeInstaller installer_{{Member(L"{A1}", L"1.0"), Member(L"{A2}", L"2.0")}};
};

TEST_F(RunSequence, InvalidCommandLineEndsWith160BeforeAnythingElse) {
  EXPECT_EQ(Run({}), kExitBadArguments);
  EXPECT_EQ(Run({L"/bogus", L"/?"}), kExitBadArguments);
  EXPECT_EQ(Run({L"/U:" + std::wstring(kFamily)}), kExitBadArguments);
  EXPECT_TRUE(installer_.calls.empty());
}

TEST_F(RunSequence, HelpEndsWith0AndNeverAsksTheInstaller) {
  EXPECT_EQ(Run({L"/uninstall", L"/?"}), kExitSuccess);
  EXPECT_EQ(Run({L"/? ", L"/bogus"}), kExitBadArguments);
  EXPECT_EQ(Run({L"/?", L"/bogus"}), kExitSuccess);
  EXPECT_TRUE(installer_.calls.empty());
}

TEST_F(RunSequence, SwitchWithoutUpgradeCodeDoesNothing) {
  EXPECT_EQ(Run({L"/hideoldaddremoves"}), kExitSuccess);
  EXPECT_EQ(Run({L"/uninstall", L"/u:"}), kExitSuccess);
  EXPECT_TRUE(installer_.calls.empty());
}

TEST_F(RunSequence, UpgradeCodeAloneBuildsTheFamilyButRunsNoAction) {
  EXPECT_EQ(Run({L"/u:" + std::wstring(kFamily)}), kExitSuccess);
  EXPECT_EQ(installer_.CallCount(L"EnumRelatedProducts"), 3);
  EXPECT_EQ(installer_.CallCount(L"GetProductInfo"), 2);
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
  EXPECT_EQ(installer_.CallCount(L"ConfigureProductEx"), 0);
}

TEST_F(RunSequence, BothActionsWithoutUpgradeCodeDoNothing) {
  EXPECT_EQ(Run({L"/uninstall", L"/hideoldaddremoves"}), kExitSuccess);
  EXPECT_TRUE(installer_.calls.empty());
}

TEST_F(RunSequence, UninstallRemovesTheFamilyNewestFirst) {
  EXPECT_EQ(Run({L"/uninstall", L"/u:" + std::wstring(kFamily)}), kExitSuccess);
  EXPECT_EQ(installer_.removed, (std::vector<std::wstring>{L"{A2}", L"{A1}"}));
}

TEST_F(RunSequence, FailedRemovalsStillEndWith0) {
  for (FakeProduct& product : installer_.products) {
    product.configureResult = 1603;
  }
  EXPECT_EQ(Run({L"/uninstall", L"/u:" + std::wstring(kFamily)}), kExitSuccess);
  EXPECT_TRUE(installer_.removed.empty());
  EXPECT_EQ(installer_.uiLevel, FakeInstaller::kStartingUiLevel);
}

}  // namespace

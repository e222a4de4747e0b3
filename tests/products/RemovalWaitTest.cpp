#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/ExecutionMutex.h"
#include "installer/InstallerCodes.h"
#include "products/InstallerWait.h"
#include "products/ProductFamily.h"
#include "support/FakeInstaller.h"
#include "support/RunningInstallation.h"

namespace {

constexpr unsigned kBusy = 1618;  // ERROR_INSTALL_ALREADY_RUNNING
constexpr unsigned long kShortPause = 10;

FakeProduct Member(const wchar_t* code, const wchar_t* version, int busyRemovals = 0) {
  FakeProduct product;
  product.productCode = code;
  product.version = version;
  product.localPackage = std::wstring(L"C:\\Windows\\Installer\\") + code + L".msi";
  product.packageName = std::wstring(code) + L".msi";
  product.busyRemovals = busyRemovals;
  return product;
}

std::vector<MemberOutcome> Remove(FakeInstaller& installer, const InstallerWait* wait,
                                  RemovalOptions options = {}) {
  ProductFamily family(installer, installer.knownUpgradeCode);
  options.wait = wait;
  return family.UninstallAllWithOutcomes(options);
}

TEST(RemovalWait, BusyInstallerIsWaitedOutAndNeverLeadsToTheCachedPackage) {
  FakeInstaller installer({Member(L"{B1}", L"1.0", /*busyRemovals=*/2)});
  const InstallerWait wait(GetTickCount(), /*seconds=*/60, kShortPause);
  const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kRemoved);
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx"), 3);
  EXPECT_EQ(installer.CallCount(L"GetProductInfo {B1} LocalPackage"), 0);
}

TEST(RemovalWait, AtTheDeadlineTheMemberAndEveryLaterOneAreBlockedUntried) {
  FakeInstaller installer({Member(L"{B1}", L"1.0"), Member(L"{B3}", L"3.0", /*busyRemovals=*/1000),
                           Member(L"{B2}", L"2.0")});
  const InstallerWait wait(GetTickCount(), /*seconds=*/1, kShortPause);
  const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
  ASSERT_EQ(outcomes.size(), 3u);
  for (const MemberOutcome& outcome : outcomes) {
    EXPECT_EQ(outcome.removal.state, RemovalOutcome::State::kBlocked) << outcome.productCode;
  }
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx {B3}"), installer.CallCount(L"ConfigureProductEx"));
  EXPECT_EQ(installer.CallCount(L"InstallProduct"), 0);
  EXPECT_TRUE(installer.removed.empty());
  EXPECT_EQ(installer.uiLevel, FakeInstaller::kStartingUiLevel);
}

TEST(RemovalWait, WithoutAWaitBusyIsAFailureAndTakesNoCopy) {
  FakeInstaller installer({Member(L"{B1}", L"1.0", /*busyRemovals=*/1)});
  const std::vector<MemberOutcome> outcomes = Remove(installer, /*wait=*/nullptr);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kNotRemoved);
  EXPECT_EQ(outcomes[0].removal.removalError, kBusy);
  EXPECT_FALSE(outcomes[0].removal.copyRan);
  EXPECT_EQ(installer.CallCount(L"GetProductInfo {B1} LocalPackage"), 0);
}

TEST(RemovalWait, ClassicRemovalStillTriesTheCachedPackageAfterBusy) {
  FakeInstaller installer({Member(L"{B1}", L"1.0", /*busyRemovals=*/1)});
  ProductFamily family(installer, installer.knownUpgradeCode);
  static_cast<void>(family.UninstallAll());
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx"), 1);
  EXPECT_EQ(installer.CallCount(L"GetProductInfo {B1} LocalPackage"), 1);
}

TEST(RemovalWait, EachRemovalLogsToItsOwnFileAndTheLoggingStopsAfterIt) {
  FakeInstaller installer({Member(L"{B1}", L"1.0"), Member(L"{B2}", L"2.0")});
  RemovalOptions options;
  options.installerLogPath = [](const std::wstring& code) { return L"C:\\logs\\run." + code + L".log"; };
  const std::vector<MemberOutcome> outcomes = Remove(installer, /*wait=*/nullptr, options);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].removal.installerLog, L"C:\\logs\\run.{B2}.log");
  std::vector<std::wstring> removalCalls;
  for (const std::wstring& call : installer.calls) {
    if (call.rfind(L"EnableLog", 0) == 0 || call.rfind(L"ConfigureProductEx", 0) == 0) {
      removalCalls.push_back(call.substr(0, call.find(L' ', call.find(L' ') + 1)));
    }
  }
  EXPECT_EQ(removalCalls, (std::vector<std::wstring>{
                              L"EnableLog C:\\logs\\run.{B2}.log", L"ConfigureProductEx {B2}",
                              L"EnableLog (none)", L"EnableLog C:\\logs\\run.{B1}.log",
                              L"ConfigureProductEx {B1}", L"EnableLog (none)"}));
}

TEST(ExecutionMutex, FreeWhenNoInstallationRunsHeldWhileOneDoes) {
  EXPECT_TRUE(installer::WaitWhileInstallationRuns(0));
  RunningInstallation installation;
  EXPECT_FALSE(installer::WaitWhileInstallationRuns(0));
  EXPECT_FALSE(installer::WaitWhileInstallationRuns(50));
  installation.End();
  EXPECT_TRUE(installer::WaitWhileInstallationRuns(0));
}

TEST(RemovalWait, NothingIsRemovedWhileAnotherInstallationRunsPastTheDeadline) {
  FakeInstaller installer({Member(L"{B1}", L"1.0")});
  RunningInstallation installation;
  const InstallerWait wait(GetTickCount(), /*seconds=*/0, kShortPause);
  const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kBlocked);
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx"), 0);
}

}  // namespace

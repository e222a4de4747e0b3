#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "installer/ExecutionMutex.h"
#include "installer/InstallerCodes.h"
#include "products/InstallerWait.h"
#include "products/ProductFamily.h"
#include "support/FakeInstaller.h"
#include "support/RunningInstallation.h"
#include "support/TemporaryFiles.h"

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
  options.policy.wait = wait;
  return family.UninstallAllWithOutcomes(options);
}

TEST(RemovalWait, BusyInstallerIsWaitedOutAndNeverLeadsToTheCachedPackage) {
  FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0", /*busyRemovals=*/2)});
  const InstallerWait wait(GetTickCount(), /*seconds=*/60, kShortPause);
  const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kRemoved);
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx"), 3);
  EXPECT_EQ(installer.CallCount(L"GetProductInfo {B1000000-0000-4000-8000-000000000000} LocalPackage"), 0);
}

TEST(RemovalWait, AtTheDeadlineTheMemberAndEveryLaterOneAreBlockedUntried) {
  FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{B3000000-0000-4000-8000-000000000000}", L"3.0", /*busyRemovals=*/1000),
                           Member(L"{B2000000-0000-4000-8000-000000000000}", L"2.0")});
  const InstallerWait wait(GetTickCount(), /*seconds=*/1, kShortPause);
  const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
  ASSERT_EQ(outcomes.size(), 3u);
  for (const MemberOutcome& outcome : outcomes) {
    EXPECT_EQ(outcome.removal.state, RemovalOutcome::State::kBlocked) << outcome.productCode;
  }
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx {B3000000-0000-4000-8000-000000000000}"), installer.CallCount(L"ConfigureProductEx"));
  EXPECT_EQ(installer.CallCount(L"InstallProduct"), 0);
  EXPECT_TRUE(installer.removed.empty());
  EXPECT_EQ(installer.uiLevel, FakeInstaller::kStartingUiLevel);
}

TEST(RemovalWait, WithoutAWaitBusyIsAFailureAndTakesNoCopy) {
  FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0", /*busyRemovals=*/1)});
  const std::vector<MemberOutcome> outcomes = Remove(installer, /*wait=*/nullptr);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kNotRemoved);
  EXPECT_EQ(outcomes[0].removal.removalError, kBusy);
  EXPECT_FALSE(outcomes[0].removal.copyRan);
  EXPECT_EQ(installer.CallCount(L"GetProductInfo {B1000000-0000-4000-8000-000000000000} LocalPackage"), 0);
}

TEST(RemovalWait, ClassicRemovalStillTriesTheCachedPackageAfterBusy) {
  FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0", /*busyRemovals=*/1)});
  ProductFamily family(installer, installer.knownUpgradeCode);
  static_cast<void>(family.UninstallAll());
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx"), 1);
  EXPECT_EQ(installer.CallCount(L"GetProductInfo {B1000000-0000-4000-8000-000000000000} LocalPackage"), 1);
}

TEST(RemovalWait, EachRemovalLogsPrivatelyAndItsLogThenGoesToItsOwnFile) {
  FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0"), Member(L"{B2000000-0000-4000-8000-000000000000}", L"2.0")});
  const ScratchFolder logs;
  const TemporaryFolderWatch privateFolders;
  RemovalOptions options;
  options.policy.installerLogPath = [&](const std::wstring& code) { return logs.path() + L"run." + code + L".log"; };
  const std::vector<MemberOutcome> outcomes = Remove(installer, /*wait=*/nullptr, options);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].removal.installerLog, logs.path() + L"run.{B2000000-0000-4000-8000-000000000000}.log");
  EXPECT_EQ(ReadFileBytes(logs.path() + L"run.{B2000000-0000-4000-8000-000000000000}.log"), "removing {B2000000-0000-4000-8000-000000000000}\r\n");
  EXPECT_EQ(ReadFileBytes(logs.path() + L"run.{B1000000-0000-4000-8000-000000000000}.log"), "removing {B1000000-0000-4000-8000-000000000000}\r\n");
  // The installer only ever writes into a private folder, turned off after each member.
  std::vector<std::wstring> logCalls;
  for (const std::wstring& call : installer.calls) {
    if (call.rfind(L"EnableLog", 0) == 0) logCalls.push_back(call);
  }
  ASSERT_EQ(logCalls.size(), 4u);
  for (const std::wstring& call : {logCalls[0], logCalls[2]}) {
    EXPECT_EQ(call.rfind(L"EnableLog " + TemporaryFolder() + L"msitool-", 0), 0u) << testing::PrintToString(call);
  }
  EXPECT_NE(logCalls[0], logCalls[2]);
  EXPECT_EQ(logCalls[1], L"EnableLog (none)");
  EXPECT_EQ(logCalls[3], L"EnableLog (none)");
  EXPECT_EQ(privateFolders.Added(), std::vector<std::wstring>{});
}

TEST(RemovalWait, AnInstallerLogPlantedAsAHardLinkIsNotWrittenThrough) {
  FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0")});
  const ScratchFolder logs;
  const std::wstring protectedFile = logs.path() + L"protected.txt";
  ASSERT_TRUE(WriteFileBytes(protectedFile, "protected"));
  ASSERT_TRUE(CreateHardLinkW((logs.path() + L"run.{B1000000-0000-4000-8000-000000000000}.log").c_str(), protectedFile.c_str(), nullptr));
  RemovalOptions options;
  options.policy.installerLogPath = [&](const std::wstring& code) { return logs.path() + L"run." + code + L".log"; };
  const std::vector<MemberOutcome> outcomes = Remove(installer, /*wait=*/nullptr, options);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kRemoved);
  EXPECT_EQ(outcomes[0].removal.installerLog, L"");  // the record names no log it could not write
  EXPECT_EQ(ReadFileBytes(protectedFile), "protected");
}

// What a member's removal appends to its installer log comes after what the file held, on a line of
// its own, and holds each way the removal went, in the order they ran.
TEST(RemovalWait, AnInstallerLogGetsTheWholeRemovalAfterWhatItHeld) {
  const ScratchFolder folder;
  const std::wstring log = folder.path() + L"run.{B1000000-0000-4000-8000-000000000000}.log";
  const struct {
    std::string before;  // "": no file yet
    unsigned configureResult;
    std::string after;  // {copy} stands for the path of the package's copy
  } cases[] = {
      {"an earlier run", 0, "an earlier run\r\nremoving {B1000000-0000-4000-8000-000000000000}\r\n"},
      {"", kInstallFailure, "removing {B1000000-0000-4000-8000-000000000000}\r\ninstalling {copy}\r\n"},
  };
  for (const auto& test : cases) {
    DeleteFileW(log.c_str());
    if (!test.before.empty()) {
      ASSERT_TRUE(WriteFileBytes(log, test.before));
    }
    FakeProduct member = Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0");
    member.configureResult = test.configureResult;
    member.localPackage = folder.path() + L"cached.msi";
    ASSERT_TRUE(WriteFileBytes(*member.localPackage, "package"));
    FakeInstaller installer({member});
    RemovalOptions options;
    options.policy.installerLogPath = [&](const std::wstring&) { return log; };
    const std::vector<MemberOutcome> outcomes = Remove(installer, /*wait=*/nullptr, options);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].removal.Removed());
    std::string after = test.after;
    const std::size_t copy = after.find("{copy}");
    if (copy != std::string::npos) {
      ASSERT_EQ(installer.installCalls.size(), 1u);
      const std::wstring& path = installer.installCalls[0].packagePath;
      after.replace(copy, 6, std::string(path.begin(), path.end()));
    }
    EXPECT_EQ(ReadFileBytes(log), after);
  }
}

TEST(RemovalWait, ARemovalFromTheCopyAnsweringBusyIsBlockedAtTheDeadline) {
  const ScratchFolder cache;
  FakeProduct member = Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0");
  member.configureResult = kInstallFailure;
  member.installResult = kBusy;
  member.localPackage = cache.path() + L"cached.msi";
  ASSERT_TRUE(WriteFileBytes(*member.localPackage, "package"));
  FakeInstaller installer({member});
  const InstallerWait wait(GetTickCount(), /*seconds=*/0, kShortPause);
  const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(installer.CallCount(L"InstallProduct"), 1);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kBlocked);
}

TEST(RemovalWait, NoRemovalIsTriedAgainOnceThePauseReachesTheDeadline) {
  // The pause outlasts the second that is left; and a pause that ends exactly at the deadline (none
  // left, no pause) ends there too.
  for (const auto& [seconds, pause] : {std::pair<unsigned long, unsigned long>{1, 5000}, {0, 0}}) {
    FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0", /*busyRemovals=*/1)});
    const InstallerWait wait(GetTickCount(), seconds, pause);
    const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kBlocked) << seconds;
    EXPECT_EQ(installer.CallCount(L"ConfigureProductEx"), 1) << seconds;
  }
}

// The mutex owned, then left behind, by a thread that ends without releasing it.
UniqueKernelHandle AbandonedExecutionMutex() {
  UniqueKernelHandle mutex;
  std::thread([&] { mutex.reset(CreateMutexW(nullptr, /*initialOwner=*/TRUE, L"Global\\_MSIExecute")); }).join();
  return mutex;
}

TEST(ExecutionMutex, FreeWhenNoInstallationRunsOrItsOwnerEndedHeldWhileOneRuns) {
  using installer::InstallerActivity;
  unsigned long error = 0;
  EXPECT_EQ(installer::WaitWhileInstallationRuns(0, error), InstallerActivity::kIdle);
  // After each idle answer the mutex is given back: another thread owns it at once.
  const auto givenBack = [](HANDLE mutex) {
    DWORD waited = WAIT_FAILED;
    std::thread([&] {
      waited = WaitForSingleObject(mutex, 0);
      if (waited == WAIT_OBJECT_0) ReleaseMutex(mutex);
    }).join();
    return waited == WAIT_OBJECT_0;
  };
  {
    RunningInstallation installation;
    // Held open here, the mutex outlives the installation: there, free and not abandoned.
    const UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, /*bInheritHandle=*/FALSE, L"Global\\_MSIExecute"));
    ASSERT_TRUE(mutex);
    EXPECT_EQ(installer::WaitWhileInstallationRuns(0, error), InstallerActivity::kBusy);
    EXPECT_EQ(installer::WaitWhileInstallationRuns(50, error), InstallerActivity::kBusy);
    installation.End();
    EXPECT_EQ(installer::WaitWhileInstallationRuns(0, error), InstallerActivity::kIdle);
    EXPECT_TRUE(givenBack(mutex.get()));
  }
  EXPECT_EQ(installer::WaitWhileInstallationRuns(0, error), InstallerActivity::kIdle);  // and when gone
  const UniqueKernelHandle abandoned = AbandonedExecutionMutex();
  ASSERT_TRUE(abandoned);
  EXPECT_EQ(installer::WaitWhileInstallationRuns(0, error), InstallerActivity::kIdle);
  EXPECT_TRUE(givenBack(abandoned.get()));
}

// Only a name that is not there means no installation runs. A mutex nobody may open, or a name
// held by an object of another kind (which no installer makes), tells nothing.
TEST(ExecutionMutex, ThatCannotBeOpenedIsNeverTakenForIdleAndGivesItsErrorNumber) {
  const struct {
    UniqueKernelHandle (*hold)();
    unsigned long error;
  } cases[] = {
      {UnopenableExecutionMutex, ERROR_ACCESS_DENIED},
      {[] {
         return UniqueKernelHandle(
             CreateEventW(nullptr, /*manualReset=*/TRUE, /*initialState=*/FALSE, L"Global\\_MSIExecute"));
       },
       ERROR_INVALID_HANDLE},
  };
  for (const auto& test : cases) {
    const UniqueKernelHandle holder = test.hold();
    ASSERT_TRUE(holder);
    unsigned long error = 0;
    EXPECT_EQ(installer::WaitWhileInstallationRuns(0, error), installer::InstallerActivity::kUnknown) << test.error;
    EXPECT_EQ(error, test.error);
  }
}

TEST(RemovalWait, WhenTheMutexCannotTellBusyAnswersAreRetriedAndThatIsToldOnce) {
  const UniqueKernelHandle mutex = UnopenableExecutionMutex();
  ASSERT_TRUE(mutex);
  FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0", /*busyRemovals=*/2)});
  std::vector<unsigned long> notes;
  const InstallerWait wait(GetTickCount(), /*seconds=*/60, kShortPause,
                           [&notes](unsigned long reason) { notes.push_back(reason); });
  const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kRemoved);
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx"), 3);
  EXPECT_EQ(notes, std::vector<unsigned long>{ERROR_ACCESS_DENIED});  // said once
}

TEST(RemovalWait, NothingIsRemovedWhileAnotherInstallationRunsPastTheDeadline) {
  FakeInstaller installer({Member(L"{B1000000-0000-4000-8000-000000000000}", L"1.0")});
  RunningInstallation installation;
  const InstallerWait wait(GetTickCount(), /*seconds=*/0, kShortPause);
  const std::vector<MemberOutcome> outcomes = Remove(installer, &wait);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].removal.state, RemovalOutcome::State::kBlocked);
  EXPECT_EQ(installer.CallCount(L"ConfigureProductEx"), 0);
}

}  // namespace

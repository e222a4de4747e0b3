#include "security/UserInfo.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/ExitCodes.h"
#include "common/UniqueHandle.h"
#include "support/CapturedStream.h"
#include "support/CommandLines.h"
#include "support/FakeInstaller.h"
#include "support/ProcessRunner.h"
#include "support/Tokens.h"
#include "support/ToolTexts.h"
#include "support/WindowsXpOverride.h"

namespace {

// Set in the child that runs the XpChild tests with Wine reporting Windows XP to this program.
constexpr const wchar_t* kXpChildVariable = L"MSITOOL_TESTS_XP_CHILD";

// Makes the current thread impersonate a token whose Administrators group is deny-only, for the
// lifetime of the object.
class DenyOnlyImpersonation {
 public:
  DenyOnlyImpersonation() {
    const UniqueToken primary = MakeTokenWithoutAdministrators();
    if (primary &&
        DuplicateTokenEx(primary.get(), TOKEN_QUERY | TOKEN_IMPERSONATE, nullptr,
                         SecurityImpersonation, TokenImpersonation, impersonation_.put())) {
      active_ = SetThreadToken(nullptr, impersonation_.get()) != FALSE;
    }
  }
  ~DenyOnlyImpersonation() {
    if (active_) {
      RevertToSelf();
    }
  }
  bool active() const { return active_; }
  HANDLE token() const { return impersonation_.get(); }

 private:
  UniqueToken impersonation_;
  bool active_ = false;
};

DWORD PlatformMajorVersion() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExW(&version) ? version.dwMajorVersion : 0;
}

TEST(Administrators, EnabledMembershipPassesAndTheCheckWritesNothing) {
  UniqueToken process;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, process.put()));
  const DWORD attributes = AdministratorsAttributes(process.get());
  ASSERT_NE(attributes, kNotInToken);
  ASSERT_NE(attributes & SE_GROUP_ENABLED, 0u);
  EXPECT_TRUE(UserInfo().IsAdministrator());
  bool passed = false;
  const std::string error =
      CaptureStandardStream(STD_ERROR_HANDLE, [&] { passed = UserInfo().CheckAdministrator(); });
  EXPECT_TRUE(passed);
  EXPECT_EQ(error, "");
}

TEST(Administrators, DenyOnlyMembershipPassesFromVersion6) {
  ASSERT_GE(PlatformMajorVersion(), 6u);
  const DenyOnlyImpersonation impersonation;
  ASSERT_TRUE(impersonation.active());
  ASSERT_EQ(AdministratorsAttributes(impersonation.token()) &
                (SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY),
            static_cast<DWORD>(SE_GROUP_USE_FOR_DENY_ONLY));
  EXPECT_TRUE(UserInfo().IsAdministrator());
}

TEST(Administrators, BelowVersion6OnlyEnabledMembershipCounts) {
  WindowsXpOverride windowsXp(L"security_tests.exe");
  ASSERT_TRUE(windowsXp.Apply());
  ASSERT_TRUE(SetEnvironmentVariableW(kXpChildVariable, L"1"));
  ProcessOutput child;
  const bool ran = RunProcess(L"\"" + ProgramFolder() + L"security_tests.exe\" --gtest_filter=XpChild.*", nullptr, child);
  SetEnvironmentVariableW(kXpChildVariable, nullptr);
  ASSERT_TRUE(ran);
  EXPECT_EQ(child.exitCode, 0u) << child.standardOutput;
  EXPECT_NE(child.standardOutput.find("[  PASSED  ] 3 tests"), std::string::npos)
      << child.standardOutput;
}

// The XpChild tests exist only in the child that BelowVersion6OnlyEnabledMembershipCounts starts: the
// parent does not register them, rather than skip them. On Windows GoogleTest starts a watcher thread
// when a thread first reports a result, a skip too, so skips at the end started one just before exit,
// and Wine can crash ending a process whose thread is still starting.
class XpChild : public testing::Test {};

class PlatformReportsVersion5AndEnabledMembershipStillPasses : public XpChild {
  void TestBody() override {
    EXPECT_EQ(PlatformMajorVersion(), 5u);
    EXPECT_TRUE(UserInfo().IsAdministrator());
  }
};

// The refusal itself; the end-to-end tests check that the run then ends with 5 and changes nothing.
class ImpersonatedDenyOnlyTokenIsRefusedWithThePrivilegeError : public XpChild {
  void TestBody() override {
    const DenyOnlyImpersonation impersonation;
    ASSERT_TRUE(impersonation.active());
    EXPECT_FALSE(UserInfo().IsAdministrator());
    bool passed = true;
    const std::string error =
        CaptureStandardStream(STD_ERROR_HANDLE, [&] { passed = UserInfo().CheckAdministrator(); });
    EXPECT_FALSE(passed);
    EXPECT_EQ(error, kPrivilegeError);
  }
};

class HelpSkipsTheGate : public XpChild {
  void TestBody() override {
    const DenyOnlyImpersonation impersonation;
    ASSERT_TRUE(impersonation.active());
    const CommandLine commandLine = ParseArguments({L"/?"});
    FakeInstaller installer;
    int exitCode = -1;
    const std::string error =
        CaptureStandardStream(STD_ERROR_HANDLE, [&] { exitCode = commandLine.Run(installer); });
    EXPECT_EQ(exitCode, kExitSuccess);
    EXPECT_EQ(error, "");
  }
};

template <typename Case>
void RegisterXpChildTest(const char* name) {
  testing::RegisterTest("XpChild", name, /*type_param=*/nullptr, /*value_param=*/nullptr, __FILE__,
                        __LINE__, []() -> XpChild* { return new Case; });
}

const bool kXpChildTestsRegistered = [] {
  if (GetEnvironmentVariableW(kXpChildVariable, /*lpBuffer=*/nullptr, /*nSize=*/0) == 0) {
    return false;
  }
  RegisterXpChildTest<PlatformReportsVersion5AndEnabledMembershipStillPasses>(
      "PlatformReportsVersion5AndEnabledMembershipStillPasses");
  RegisterXpChildTest<ImpersonatedDenyOnlyTokenIsRefusedWithThePrivilegeError>(
      "ImpersonatedDenyOnlyTokenIsRefusedWithThePrivilegeError");
  RegisterXpChildTest<HelpSkipsTheGate>("HelpSkipsTheGate");
  return true;
}();

}  // namespace

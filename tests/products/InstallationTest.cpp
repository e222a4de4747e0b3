#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/UserAccount.h"
#include "installer/InstallerCodes.h"
#include "products/Installation.h"
#include "registry/PackedGuid.h"
#include "support/FakeInstaller.h"
#include "support/TestRegistry.h"

// Where a member is installed, for every user: the running user's own answers first, then the
// installer's for all users, then the records under UserData that Wine's installer does not report.
namespace {

const std::wstring kUserData = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";
constexpr const wchar_t* kOtherSid = L"S-1-5-21-1111-2222-3333-1001";

enum class Answer { kNone, kMachine, kThisUser, kEveryUser };  // what the installer answers for the product
enum class Record { kNone, kOtherUser, kRunningUser, kMachine, kOtherUserLocked };

struct InstallationCase {
  const char* name;
  Answer answer;
  Record record;
  Installation::Context context;
  const wchar_t* productName;  // as found; for another user's install only
  const wchar_t* version;
};

const InstallationCase kCases[] = {
    {"PerMachine", Answer::kMachine, Record::kOtherUser, Installation::Context::kMachine, L"", L""},
    {"RunningUsers", Answer::kThisUser, Record::kOtherUser, Installation::Context::kThisUser, L"", L""},
    {"OtherUsersByTheInstaller", Answer::kEveryUser, Record::kNone, Installation::Context::kOtherUser, L"By Installer",
     L"3.0"},
    {"OtherUsersByTheRecord", Answer::kNone, Record::kOtherUser, Installation::Context::kOtherUser, L"By Record",
     L"2.5.1"},
    {"OtherUsersRecordUnreadable", Answer::kNone, Record::kOtherUserLocked, Installation::Context::kOtherUser, L"",
     L""},
    {"OnlyTheRunningUsersStaleRecord", Answer::kNone, Record::kRunningUser, Installation::Context::kNone, L"", L""},
    {"OnlyAMachineRecord", Answer::kNone, Record::kMachine, Installation::Context::kNone, L"", L""},
    {"Nowhere", Answer::kNone, Record::kNone, Installation::Context::kNone, L"", L""},
};

class InstallationTest : public testing::TestWithParam<InstallationCase> {
 protected:
  void TearDown() override {
    for (const std::wstring& sid : {std::wstring(kOtherSid), RunningUserSid(), std::wstring(L"S-1-5-18")}) {
      DeleteKeyTree(HKEY_LOCAL_MACHINE, kUserData + sid + L"\\Products\\" + *PackGuid(code_), View::k64);
    }
  }

  const std::wstring code_ = NewProductCode();
};

TEST_P(InstallationTest, IsFoundForEveryUserAndOnlyAnotherUsersCountsAsOtherUser) {
  const InstallationCase& test = GetParam();
  const std::wstring sid = test.record == Record::kRunningUser ? RunningUserSid()
                           : test.record == Record::kMachine  ? std::wstring(L"S-1-5-18")
                                                              : std::wstring(kOtherSid);
  const std::wstring properties = kUserData + sid + L"\\Products\\" + *PackGuid(code_) + L"\\InstallProperties";
  if (test.record != Record::kNone) {
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, properties, L"DisplayName", L"By Record", View::k64));
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, properties, L"DisplayVersion", L"2.5.1", View::k64));
  }
  if (test.record == Record::kOtherUserLocked) {
    ASSERT_TRUE(SetKeyAccess(HKEY_LOCAL_MACHINE, properties, View::k64, L"D:(D;;GA;;;WD)"));
  }
  FakeProduct product{code_, L"1.0"};
  product.properties[L"InstalledProductName"] = L"By Installer";
  product.context = test.answer == Answer::kThisUser ? installer::kContextUserUnmanaged : installer::kContextMachine;
  if (test.answer == Answer::kEveryUser || test.answer == Answer::kNone) {
    product.context = installer::kContextUserUnmanaged;
    product.otherUserSid = kOtherSid;
    product.version = L"3.0";
    product.listedForEveryUser = test.answer == Answer::kEveryUser;
  }
  FakeInstaller installer({product});
  const Installation found = FindInstallation(installer, code_, RunningUserSid());
  EXPECT_EQ(found.context, test.context);
  EXPECT_EQ(found.userSid, test.context == Installation::Context::kOtherUser ? kOtherSid : L"");
  EXPECT_EQ(found.productName, test.productName);
  EXPECT_EQ(found.versionString, test.version);
  EXPECT_EQ(found.ActsHere(), test.context == Installation::Context::kMachine ||
                                  test.context == Installation::Context::kThisUser);
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallationTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<InstallationCase>& info) { return std::string(info.param.name); });

// The account of a SID, where the machine resolves it; a deleted account or a SID that is no SID
// keeps only its text.
TEST(AccountNameOfSid, ResolvesKnownAccountsOnly) {
  EXPECT_FALSE(RunningUserSid().empty());
  EXPECT_EQ(RunningUserSid().rfind(L"S-1-5-", 0), 0u);
  EXPECT_EQ(AccountNameOfSid(L"S-1-5-18"), L"NT AUTHORITY\\SYSTEM") << "the domain, then the name";
  EXPECT_EQ(AccountNameOfSid(kOtherSid), std::nullopt);
  EXPECT_EQ(AccountNameOfSid(L"not a SID"), std::nullopt);
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "endtoend/EndToEnd.h"
#include "registry/PackedGuid.h"
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

}  // namespace

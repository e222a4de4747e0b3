#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "endtoend/EndToEnd.h"
#include "support/TemporaryFiles.h"

namespace {

std::size_t PrivateFolders() { return FindEntries(TemporaryFolder(), L"msitool-*").size(); }

// A package whose removal by product code is refused by its own error custom action; only a
// removal from a package in the temporary folder gets past it.
class RefusedRemovalTest : public InstalledProductsTest {
 protected:
  RefusedRemovalTest() : InstalledProductsTest({kRefusing}) {}
};

TEST_F(RefusedRemovalTest, PlainRemovalIsRefused) {
  EXPECT_EQ(kInstallFailure, RemoveProduct(kRefusing.productCode));
  ExpectUntouched(kRefusing);
  // The fixture removes by product code, which this package refuses: the tool removes it instead.
  ExpectQuietSuccess(RunTool(L"/uninstall /u:" + std::wstring(kRefusingUpgradeCode)));
}

TEST_F(RefusedRemovalTest, ToolRemovesItFromAPrivateCopyAndLeavesNoCopy) {
  const std::size_t foldersBefore = PrivateFolders();
  const std::vector<std::wstring> packagesBefore = FindEntries(TemporaryFolder(), L"*.msi");
  ExpectQuietSuccess(RunTool(L"/uninstall /u:" + std::wstring(kRefusingUpgradeCode)));
  ExpectRemoved(kRefusing);
  EXPECT_EQ(foldersBefore, PrivateFolders());
  EXPECT_EQ(packagesBefore, FindEntries(TemporaryFolder(), L"*.msi"));
}

// A package whose removal schedules a restart.
class RestartingRemovalTest : public InstalledProductsTest {
 protected:
  RestartingRemovalTest() : InstalledProductsTest({kRestart}) {}
};

TEST_F(RestartingRemovalTest, RemovalAsksForARestart) {
  EXPECT_EQ(kRestartNeeded, RemoveProduct(kRestart.productCode));
  ExpectRemoved(kRestart);
}

TEST_F(RestartingRemovalTest, ToolCountsTheRestartResultAsRemoved) {
  ExpectQuietSuccess(RunTool(L"/uninstall /u:" + std::wstring(kRestartUpgradeCode)));
  ExpectRemoved(kRestart);
}

}  // namespace

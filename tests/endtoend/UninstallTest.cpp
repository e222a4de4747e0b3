#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "endtoend/EndToEnd.h"
#include "support/TemporaryFiles.h"

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

}  // namespace

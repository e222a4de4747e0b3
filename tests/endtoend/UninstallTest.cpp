#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "endtoend/EndToEnd.h"
#include "support/TemporaryFiles.h"

namespace {

class UninstallTest : public InstalledProductsTest {
 protected:
  // Runs the uninstall action for the sample family and expects a quiet success.
  void UninstallSampleFamily() {
    const ProcessOutput output = RunTool(L"/uninstall /u:" + std::wstring(kSampleUpgradeCode));
    ExpectQuietSuccess(output);
  }
};

TEST_F(UninstallTest, RemovesEveryMemberFromBothViewsAndTheDisk) {
  UninstallSampleFamily();
  ExpectRemoved(kSample1);
  ExpectRemoved(kSample2);
  ExpectRemoved(kSample3);
}

TEST_F(UninstallTest, LeavesOtherProductsInstalled) {
  UninstallSampleFamily();
  ExpectUntouched(kOther);
}

TEST_F(UninstallTest, LeavesNoPackageCopyInTheTemporaryFolder) {
  const TemporaryFolderWatch packages(L"*.msi");
  UninstallSampleFamily();
  EXPECT_EQ(packages.Added(), std::vector<std::wstring>{});
}

}  // namespace

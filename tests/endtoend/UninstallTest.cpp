#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "endtoend/InstalledProductsTest.h"
#include "endtoend/SampleFamily.h"
#include "endtoend/Tool.h"
#include "endtoend/ToolTexts.h"
#include "support/TemporaryFiles.h"

namespace {


// The names of the *.msi files in the user's temporary folder.
std::set<std::wstring> PackagesInTemp() {
  const std::vector<std::wstring> names = FindEntries(TemporaryFolder(), L"*.msi");
  return {names.begin(), names.end()};
}

class UninstallTest : public InstalledProductsTest {
 protected:
  UninstallTest() : InstalledProductsTest(SampleFamilyAndOther()) {}

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
  const std::set<std::wstring> before = PackagesInTemp();
  UninstallSampleFamily();
  EXPECT_EQ(before, PackagesInTemp());
}

}  // namespace

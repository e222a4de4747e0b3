#include <gtest/gtest.h>

#include "endtoend/EndToEnd.h"

namespace {

class HideTest : public InstalledProductsTest {};

TEST_F(HideTest, HidesEveryOlderMemberInItsOwnViewAndLeavesTheNewestAndOthersVisible) {
  ExpectQuietSuccess(RunTool(L"/hideoldaddremoves /u:" + std::wstring(kSampleUpgradeCode)));
  ExpectHidden(kSample1);
  ExpectHidden(kSample2);
  ExpectUntouched(kSample3);
  ExpectUntouched(kOther);
}

class HideTieTest : public InstalledProductsTest {
 protected:
  HideTieTest() : InstalledProductsTest({kSample3, kSample1, kSample3Twin}) {}
};

TEST_F(HideTieTest, KeepsExactlyOneOfTwoNewestMembersVisible) {
  const ProcessOutput output = RunTool(L"/hideoldaddremoves /u:" + std::wstring(kSampleUpgradeCode));
  EXPECT_EQ(kSuccess, output.exitCode);
  ExpectHidden(kSample1);
  // Which of the two stays visible depends on the installer's enumeration order.
  const bool firstVisible = EntryNow(kSample3).count(kSystemComponent) == 0;
  const bool twinVisible = EntryNow(kSample3Twin).count(kSystemComponent) == 0;
  EXPECT_NE(firstVisible, twinVisible);
  ExpectHidden(firstVisible ? kSample3Twin : kSample3);
  ExpectUntouched(firstVisible ? kSample3 : kSample3Twin);
}

}  // namespace

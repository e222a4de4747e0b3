#include "products/ProductFamily.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "support/FakeInstaller.h"
#include "support/TestRegistry.h"

namespace {

class ProductFamilyTest : public testing::Test {
 protected:
  // Adds a member with a visible uninstall entry in the 32-bit view; returns its code.
  std::wstring AddMember(const std::wstring& version) {
    const std::wstring code = NewProductCode();
    installer_.products.push_back({code, version});
    EXPECT_TRUE(entries_.Add(code, View::k32, version.c_str()));
    return code;
  }

  bool IsHidden(const std::wstring& code) const {
    return SystemComponent(code, View::k32) == 1u;
  }

  std::vector<std::wstring> Codes(const ProductFamily& family) const {
    std::vector<std::wstring> codes;
    for (const auto& product : family.products()) {
      codes.push_back(product->GetProductCode());
    }
    return codes;
  }

  const std::wstring upgradeCode_ = FakeInstaller().knownUpgradeCode;
  FakeInstaller installer_;
  UninstallEntries entries_;
};

TEST_F(ProductFamilyTest, EnumeratesEveryMemberInOrderAndNoneOfAnUnknownUpgradeCode) {
  const std::wstring a = AddMember(L"1.0");
  const std::wstring b = AddMember(L"2.0");
  const ProductFamily family(installer_, upgradeCode_);
  EXPECT_EQ(family.Count(), 2u);
  EXPECT_EQ(Codes(family), (std::vector<std::wstring>{a, b}));
  EXPECT_EQ(ProductFamily(installer_, L"{unknown}").Count(), 0u);
}

TEST_F(ProductFamilyTest, EmptyFamilyDoesNothingAndLeavesTheInterfaceLevelAlone) {
  ProductFamily family(installer_, upgradeCode_);
  EXPECT_EQ(family.Newest(), nullptr);
  EXPECT_EQ(family.HideOldProducts(), 0u);
  EXPECT_EQ(family.HideAllExcept(L""), 0u);
  EXPECT_EQ(family.UninstallAll(), 0u);
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
}

TEST_F(ProductFamilyTest, OfEqualNewestTheFirstEnumeratedStaysVisible) {
  const std::wstring old = AddMember(L"1.0");
  const std::wstring first = AddMember(L"2.0");
  const std::wstring twin = AddMember(L"2.0");
  ProductFamily family(installer_, upgradeCode_);
  EXPECT_EQ(family.Newest()->GetProductCode(), first);
  EXPECT_EQ(family.HideOldProducts(), 2u);
  EXPECT_FALSE(IsHidden(first));
  EXPECT_TRUE(IsHidden(twin));
  EXPECT_TRUE(IsHidden(old));
}

TEST_F(ProductFamilyTest, HiddenCountLeavesOutMembersWithoutAnEntry) {
  AddMember(L"1.0");
  const std::wstring noEntry = NewProductCode();
  installer_.products.push_back({noEntry, L"2.0"});
  AddMember(L"3.0");
  ProductFamily family(installer_, upgradeCode_);
  EXPECT_EQ(family.HideOldProducts(), 1u);
}

TEST_F(ProductFamilyTest, HideAllExceptSparesCodesStartingWithTheGivenOne) {
  const std::wstring a = AddMember(L"1.0");
  const std::wstring b = AddMember(L"2.0");
  ProductFamily family(installer_, upgradeCode_);
  EXPECT_EQ(family.HideAllExcept(L""), 0u) << "an empty code is a leading part of every code";
  EXPECT_FALSE(IsHidden(a));
  EXPECT_FALSE(IsHidden(b));

  std::wstring leadingPartOfB = b.substr(0, b.size() - 1);
  for (wchar_t& c : leadingPartOfB) {
    c = static_cast<wchar_t>(towupper(c));
  }
  EXPECT_EQ(family.HideAllExcept(leadingPartOfB), 1u);
  EXPECT_TRUE(IsHidden(a));
  EXPECT_FALSE(IsHidden(b));
  EXPECT_EQ(family.HideAllExcept(b + L"-longer"), 2u);
}

TEST_F(ProductFamilyTest, UninstallsNewestFirstWithTheInterfaceOff) {
  const std::wstring v1 = AddMember(L"1.0");
  const std::wstring v3 = AddMember(L"3.0");
  const std::wstring v2 = AddMember(L"2.0");
  ProductFamily family(installer_, upgradeCode_);
  EXPECT_EQ(family.UninstallAll(), 3u);
  EXPECT_EQ(installer_.removed, (std::vector<std::wstring>{v3, v2, v1}));
  EXPECT_EQ(family.Count(), 0u);
  std::vector<std::wstring> order;
  for (const std::wstring& call : installer_.calls) {
    if (call.rfind(L"SetInternalUI", 0) == 0) {
      order.push_back(call);
    } else if (call.rfind(L"ConfigureProductEx", 0) == 0) {
      order.push_back(L"remove");
    }
  }
  EXPECT_EQ(order, (std::vector<std::wstring>{L"SetInternalUI 2", L"remove", L"remove", L"remove",
                                              L"SetInternalUI 5"}));
  EXPECT_EQ(installer_.uiLevel, FakeInstaller::kStartingUiLevel);
}

TEST_F(ProductFamilyTest, EqualVersionsKeepEnumerationOrderAndUnparsableGoLast) {
  const std::wstring bad = AddMember(L"beta");
  const std::wstring firstTwin = AddMember(L"2.0");
  const std::wstring low = AddMember(L"0.5");
  const std::wstring secondTwin = AddMember(L"2.0");
  ProductFamily family(installer_, upgradeCode_);
  EXPECT_EQ(family.UninstallAll(), 4u);
  EXPECT_EQ(installer_.removed, (std::vector<std::wstring>{firstTwin, secondTwin, low, bad}));
}

}  // namespace

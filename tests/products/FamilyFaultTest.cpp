#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "products/ProductFamily.h"
#include "support/FakeInstaller.h"
#include "support/TemporaryFiles.h"
#include "support/TestRegistry.h"

namespace {

constexpr int kMembers = 4;
const wchar_t* const kVersions[kMembers] = {L"2.0", L"4.0", L"1.0", L"3.0"};

// One way for the installer to let the tool down, injected at one member of the family, and whether
// that member is still in the family after UninstallAll.
struct Fault {
  const char* name;
  void (*inject)(FakeInstaller& installer, FakeProduct& member, int where);
  bool memberKept;
};

const Fault kFaults[] = {
    // MsiEnumRelatedProductsW fails from that index on.
    {"Enumeration", [](FakeInstaller& installer, FakeProduct&, int where) { installer.enumerationFailsAt = where; },
     false},
    // MsiGetProductInfoW has no VersionString.
    {"VersionRead", [](FakeInstaller&, FakeProduct& member, int) { member.version.reset(); }, false},
    // MsiConfigureProductExW refuses; the cached package still works.
    {"PlainRemoval", [](FakeInstaller&, FakeProduct& member, int) { member.configureResult = kInstallFailure; },
     false},
    // MsiConfigureProductExW and MsiInstallProductW both refuse.
    {"BothRemovals",
     [](FakeInstaller&, FakeProduct& member, int) { member.configureResult = member.installResult = kInstallFailure; },
     true},
    // Refused, and MsiGetProductInfoW has no LocalPackage.
    {"LocalPackage",
     [](FakeInstaller&, FakeProduct& member, int) {
       member.configureResult = kInstallFailure;
       member.localPackage.reset();
     },
     true},
    // Refused, and MsiGetProductInfoW has no PackageName.
    {"PackageName",
     [](FakeInstaller&, FakeProduct& member, int) {
       member.configureResult = kInstallFailure;
       member.packageName.reset();
     },
     true},
    // MsiSetInternalUI refuses the level.
    {"InterfaceLevel", [](FakeInstaller& installer, FakeProduct&, int) { installer.uiLevelFails = true; }, false},
};

// A family of four with cached packages on disk, and one installed product of another family; the fault
// at member `where`.
class FamilyFault : public testing::TestWithParam<std::tuple<Fault, int>> {
 protected:
  void SetUp() override {
    for (int i = 0; i <= kMembers; ++i) {
      FakeProduct product{NewProductCode(), i < kMembers ? kVersions[i] : L"9.0"};
      product.related = i < kMembers;
      product.packageName = L"member" + std::to_wstring(i) + L".msi";
      product.localPackage = cache_.path() + L"cached" + std::to_wstring(i) + L".msi";
      ASSERT_TRUE(WriteFileBytes(*product.localPackage, "package"));
      ASSERT_TRUE(entries_.Add(product.productCode, View::k32, L"Member"));
      installer_.products.push_back(product);
    }
    fault_.inject(installer_, installer_.products[where_], where_);
    enumerated_ = static_cast<int>(installer_.enumerationFailsAt.value_or(kMembers));
  }

  void ExpectOutsiderUntouched() const {
    const std::wstring& outsider = installer_.products[kMembers].productCode;
    for (const std::wstring& call : installer_.calls) {
      EXPECT_EQ(call.find(outsider), std::wstring::npos) << testing::PrintToString(call);
    }
    EXPECT_FALSE(SystemComponent(outsider, View::k32).has_value());
  }

  const Fault& fault_ = std::get<0>(GetParam());
  const int where_ = std::get<1>(GetParam());
  int enumerated_ = 0;  // the members the family finds: those before a failed enumeration
  ScratchFolder cache_;
  FakeInstaller installer_;
  UninstallEntries entries_;
};

TEST_P(FamilyFault, UninstallKeepsExactlyWhatWasNotRemoved) {
  const TemporaryFolderWatch copies;
  ProductFamily family(installer_, installer_.knownUpgradeCode);
  const unsigned removed = family.UninstallAll();

  std::set<std::wstring> expectedKept;
  if (fault_.memberKept) expectedKept.insert(installer_.products[where_].productCode);
  std::set<std::wstring> kept;
  for (const auto& product : family.products()) kept.insert(product->GetProductCode());
  EXPECT_EQ(kept, expectedKept);
  EXPECT_EQ(family.Count(), expectedKept.size());
  EXPECT_EQ(removed, enumerated_ - expectedKept.size());
  EXPECT_EQ(installer_.removed.size(), removed);
  EXPECT_EQ(installer_.uiLevel, FakeInstaller::kStartingUiLevel);
  EXPECT_EQ(copies.Added(), std::vector<std::wstring>{}) << "a package copy was left in the temporary folder";
  for (const FakeInstaller::InstallCall& call : installer_.installCalls) {
    EXPECT_TRUE(call.packageExisted);
    EXPECT_FALSE(FileExists(call.packagePath));
  }
  ExpectOutsiderUntouched();
}

TEST_P(FamilyFault, HidingLeavesOnlyTheNewestEnumeratedMemberVisible) {
  ProductFamily family(installer_, installer_.knownUpgradeCode);
  const Product* newest = family.Newest();
  const std::wstring newestCode = newest != nullptr ? newest->GetProductCode() : L"";
  EXPECT_EQ(family.HideOldProducts(), enumerated_ > 1 ? static_cast<unsigned>(enumerated_ - 1) : 0u);
  for (int i = 0; i < kMembers; ++i) {
    const std::wstring& code = installer_.products[i].productCode;
    const bool shouldBeHidden = i < enumerated_ && enumerated_ > 1 && code != newestCode;
    EXPECT_EQ(SystemComponent(code, View::k32).has_value(), shouldBeHidden) << "member " << i;
  }
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
  ExpectOutsiderUntouched();
}

INSTANTIATE_TEST_SUITE_P(EveryOperationAtEveryMember, FamilyFault,
                         testing::Combine(testing::ValuesIn(kFaults), testing::Range(0, kMembers)),
                         [](const testing::TestParamInfo<std::tuple<Fault, int>>& info) {
                           return std::string(std::get<0>(info.param).name) + "At" +
                                  std::to_string(std::get<1>(info.param));
                         });

}  // namespace

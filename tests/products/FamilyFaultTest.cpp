#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "products/ProductFamily.h"
#include "support/FakeInstaller.h"
#include "support/TemporaryFiles.h"
#include "support/UninstallEntries.h"

namespace {

constexpr unsigned kInstallFailure = 1603;
constexpr int kMembers = 4;
const wchar_t* const kVersions[kMembers] = {L"2.0", L"4.0", L"1.0", L"3.0"};

// One way for the installer to let the tool down, at one member of the family.
enum class Fault {
  kEnumeration,      // MsiEnumRelatedProductsW fails from that index on
  kVersionRead,      // MsiGetProductInfoW has no VersionString
  kPlainRemoval,     // MsiConfigureProductExW refuses; the cached package still works
  kBothRemovals,     // MsiConfigureProductExW and MsiInstallProductW both refuse
  kLocalPackage,     // refused, and MsiGetProductInfoW has no LocalPackage
  kPackageName,      // refused, and MsiGetProductInfoW has no PackageName
  kInterfaceLevel,   // MsiSetInternalUI refuses the level
};

const Fault kFaults[] = {Fault::kEnumeration,  Fault::kVersionRead,  Fault::kPlainRemoval,
                         Fault::kBothRemovals, Fault::kLocalPackage, Fault::kPackageName,
                         Fault::kInterfaceLevel};

struct FaultCase {
  Fault fault;
  int position;
};

std::vector<FaultCase> AllFaultCases() {
  std::vector<FaultCase> cases;
  for (Fault fault : kFaults) {
    for (int position = 0; position < kMembers; ++position) {
      cases.push_back({fault, position});
    }
  }
  return cases;
}

// A family of four with cached packages on disk, and one installed product of another family.
class FamilyFault : public testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override {
    const FaultCase& testCase = GetParam();
    for (int i = 0; i <= kMembers; ++i) {
      FakeProduct product;
      product.productCode = L"{msitool-fault-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(i) + L"}";
      product.version = i < kMembers ? kVersions[i] : L"9.0";
      product.related = i < kMembers;
      product.packageName = L"member" + std::to_wstring(i) + L".msi";
      product.localPackage = cache_.path() + L"cached" + std::to_wstring(i) + L".msi";
      ASSERT_TRUE(WriteFileBytes(*product.localPackage, "package"));
      ASSERT_TRUE(entries_.Add(product.productCode, KEY_WOW64_32KEY, L"Member"));
      installer_.products.push_back(product);
    }
    FakeProduct& faulty = installer_.products[testCase.position];
    switch (testCase.fault) {
      case Fault::kEnumeration:
        installer_.enumerationFailsAt = testCase.position;
        break;
      case Fault::kVersionRead:
        faulty.version.reset();
        break;
      case Fault::kPlainRemoval:
        faulty.configureResult = kInstallFailure;
        break;
      case Fault::kBothRemovals:
        faulty.configureResult = kInstallFailure;
        faulty.installResult = kInstallFailure;
        break;
      case Fault::kLocalPackage:
        faulty.configureResult = kInstallFailure;
        faulty.localPackage.reset();
        break;
      case Fault::kPackageName:
        faulty.configureResult = kInstallFailure;
        faulty.packageName.reset();
        break;
      case Fault::kInterfaceLevel:
        installer_.uiLevelFails = true;
        break;
    }
    foldersBefore_ = FindEntries(TemporaryFolder(), L"msitool-*").size();
  }

  const std::wstring& OutsiderCode() const { return installer_.products[kMembers].productCode; }

  bool MemberIsKept(int position) const {
    const Fault fault = GetParam().fault;
    return position == GetParam().position &&
           (fault == Fault::kBothRemovals || fault == Fault::kLocalPackage ||
            fault == Fault::kPackageName);
  }

  int EnumeratedMembers() const {
    return GetParam().fault == Fault::kEnumeration ? GetParam().position : kMembers;
  }

  void ExpectOutsiderUntouched() const {
    for (const std::wstring& call : installer_.calls) {
      EXPECT_EQ(call.find(OutsiderCode()), std::wstring::npos) << testing::PrintToString(call);
    }
    EXPECT_FALSE(UninstallEntries::SystemComponent(OutsiderCode(), KEY_WOW64_32KEY).has_value());
  }

  ScratchFolder cache_;
  FakeInstaller installer_;
  UninstallEntries entries_;
  std::size_t foldersBefore_ = 0;
};

TEST_P(FamilyFault, UninstallKeepsExactlyWhatWasNotRemoved) {
  ProductFamily family(installer_, installer_.knownUpgradeCode);
  const unsigned removed = family.UninstallAll();

  std::set<std::wstring> expectedKept;
  for (int i = 0; i < EnumeratedMembers(); ++i) {
    if (MemberIsKept(i)) {
      expectedKept.insert(installer_.products[i].productCode);
    }
  }
  std::set<std::wstring> kept;
  for (const auto& product : family.products()) {
    kept.insert(product->GetProductCode());
  }
  EXPECT_EQ(kept, expectedKept);
  EXPECT_EQ(family.Count(), expectedKept.size());
  EXPECT_EQ(removed, EnumeratedMembers() - expectedKept.size());
  EXPECT_EQ(installer_.removed.size(), removed);
  EXPECT_EQ(installer_.uiLevel, FakeInstaller::kStartingUiLevel);
  EXPECT_EQ(FindEntries(TemporaryFolder(), L"msitool-*").size(), foldersBefore_)
      << "a package copy was left in the temporary folder";
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
  const unsigned hidden = family.HideOldProducts();
  const int members = EnumeratedMembers();
  EXPECT_EQ(hidden, members > 1 ? static_cast<unsigned>(members - 1) : 0u);
  for (int i = 0; i < kMembers; ++i) {
    const std::wstring& code = installer_.products[i].productCode;
    const bool shouldBeHidden = i < members && members > 1 && code != newestCode;
    EXPECT_EQ(UninstallEntries::SystemComponent(code, KEY_WOW64_32KEY).has_value(), shouldBeHidden)
        << "member " << i;
  }
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
  ExpectOutsiderUntouched();
}

std::string FaultCaseName(const testing::TestParamInfo<FaultCase>& info) {
  static const char* const kNames[] = {"Enumeration",  "VersionRead", "PlainRemoval",
                                       "BothRemovals", "LocalPackage", "PackageName",
                                       "InterfaceLevel"};
  return std::string(kNames[static_cast<int>(info.param.fault)]) + "At" +
         std::to_string(info.param.position);
}

INSTANTIATE_TEST_SUITE_P(EveryOperationAtEveryMember, FamilyFault,
                         testing::ValuesIn(AllFaultCases()), FaultCaseName);

}  // namespace

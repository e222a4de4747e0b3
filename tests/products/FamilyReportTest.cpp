#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/UniqueHandle.h"
#include "products/ProductFamily.h"
#include "support/FakeInstaller.h"
#include "support/TestRegistry.h"

namespace {

const std::wstring kFamily = L"{00000000-0000-0000-0000-0000000000AA}";

FakeProduct Member(const std::wstring& code, const wchar_t* version) {
  FakeProduct product;
  product.productCode = code;
  product.version = version;
  return product;
}

// Denies everyone the writing of values under the product's key in the view, as a locked-down
// entry would; the key can still be read and deleted.
bool DenyWrites(const std::wstring& productCode, View view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallPath(productCode).c_str(), 0,
                    WRITE_DAC | static_cast<REGSAM>(view), &key) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueKey owner(key);
  UniqueSecurityDescriptor descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(D;;0x2;;;WD)(A;;GA;;;WD)", SDDL_REVISION_1, descriptor.put(), nullptr)) {
    return false;
  }
  return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.get()) == ERROR_SUCCESS;
}

class FamilyReport : public testing::Test {
 protected:
  FakeInstaller installer_;
  UninstallEntries entries_;
};

TEST_F(FamilyReport, HideSaysPerViewWhatItDidAndKeepsTheNewest) {
  const std::wstring both = NewProductCode(), none = NewProductCode(), newest = NewProductCode(), only64 = NewProductCode();
  ASSERT_TRUE(entries_.Add(both, View::k32, L"Both"));
  ASSERT_TRUE(entries_.Add(both, View::k64, L"Both"));
  ASSERT_TRUE(entries_.Add(none, View::k32, nullptr));  // a key without DisplayName
  ASSERT_TRUE(entries_.Add(newest, View::k32, L"Newest"));
  ASSERT_TRUE(entries_.Add(only64, View::k64, L"Only 64"));
  installer_.products = {Member(both, L"1.0"), Member(none, L"2.0"), Member(newest, L"3.0"),
                         Member(only64, L"1.5")};
  installer_.knownUpgradeCode = kFamily;
  ProductFamily family(installer_, kFamily);
  const std::vector<MemberOutcome> outcomes = family.HideOldProductsWithOutcomes();

  ASSERT_EQ(outcomes.size(), 4u);
  using State = ViewHideOutcome::State;
  EXPECT_EQ(outcomes[0].productCode, both);
  EXPECT_EQ(outcomes[0].kind, MemberOutcome::Kind::kHide);
  EXPECT_EQ(outcomes[0].hide.view32.state, State::kHidden);
  EXPECT_EQ(outcomes[0].hide.view64.state, State::kHidden);
  EXPECT_EQ(outcomes[1].hide.view32.state, State::kNoEntry);
  EXPECT_EQ(outcomes[1].hide.view64.state, State::kNoEntry);
  EXPECT_EQ(outcomes[2].kind, MemberOutcome::Kind::kKeptNewest);
  EXPECT_EQ(outcomes[2].versionString, L"3.0");
  EXPECT_EQ(outcomes[3].hide.view32.state, State::kNoEntry);
  EXPECT_EQ(outcomes[3].hide.view64.state, State::kHidden);
  // What the report says is what the registry holds.
  EXPECT_EQ(SystemComponent(both, View::k32), 1u);
  EXPECT_EQ(SystemComponent(both, View::k64), 1u);
  EXPECT_FALSE(SystemComponent(none, View::k32));
  EXPECT_FALSE(SystemComponent(newest, View::k32));
  EXPECT_EQ(SystemComponent(only64, View::k64), 1u);
}

TEST_F(FamilyReport, AnEntryThatRefusesTheWriteIsNotHiddenWithTheRegistrysError) {
  const std::wstring locked = NewProductCode(), newest = NewProductCode();
  ASSERT_TRUE(entries_.Add(locked, View::k32, L"Locked"));
  ASSERT_TRUE(entries_.Add(locked, View::k64, L"Open"));
  ASSERT_TRUE(DenyWrites(locked, View::k32));
  installer_.products = {Member(locked, L"1.0"), Member(newest, L"2.0")};
  installer_.knownUpgradeCode = kFamily;
  ProductFamily family(installer_, kFamily);
  const std::vector<MemberOutcome> outcomes = family.HideOldProductsWithOutcomes();

  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].hide.view32.state, ViewHideOutcome::State::kNotHidden);
  EXPECT_EQ(outcomes[0].hide.view32.error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(outcomes[0].hide.view64.state, ViewHideOutcome::State::kHidden);
  EXPECT_TRUE(outcomes[0].hide.AnyFailed());
  EXPECT_FALSE(SystemComponent(locked, View::k32));
  EXPECT_EQ(SystemComponent(locked, View::k64), 1u);
}

TEST_F(FamilyReport, ClassicHideCountsWhatTheOutcomesCallHidden) {
  const std::wstring locked = NewProductCode(), open = NewProductCode(), newest = NewProductCode();
  ASSERT_TRUE(entries_.Add(locked, View::k32, L"Locked"));
  ASSERT_TRUE(DenyWrites(locked, View::k32));
  ASSERT_TRUE(entries_.Add(open, View::k64, L"Open"));
  installer_.products = {Member(locked, L"1.0"), Member(open, L"1.0"), Member(newest, L"2.0")};
  installer_.knownUpgradeCode = kFamily;
  ProductFamily family(installer_, kFamily);
  EXPECT_EQ(family.HideOldProducts(), 1u);
}

TEST_F(FamilyReport, ListReadsTheEntriesWithoutWritingThem) {
  const std::wstring visible = NewProductCode(), hidden = NewProductCode(), bare = NewProductCode();
  ASSERT_TRUE(entries_.Add(visible, View::k64, L"Visible"));
  ASSERT_TRUE(entries_.Add(hidden, View::k32, L"Hidden"));
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, UninstallPath(hidden), L"Comments",
                          L"x", View::k32));
  {
    FakeInstaller one({Member(hidden, L"1.0")});
    Product product(one, hidden);
    ASSERT_TRUE(product.HideFromAddRemove());
  }
  ASSERT_TRUE(entries_.Add(bare, View::k32, nullptr));
  installer_.products = {Member(visible, L"1.0"), Member(hidden, L"2.0"), Member(bare, L"2.0")};
  installer_.knownUpgradeCode = kFamily;
  ProductFamily family(installer_, kFamily);
  const std::vector<MemberListing> listing = family.List();

  ASSERT_EQ(listing.size(), 3u);
  EXPECT_EQ(listing[0].entry32, EntryState::kNone);
  EXPECT_EQ(listing[0].entry64, EntryState::kVisible);
  EXPECT_EQ(listing[1].entry32, EntryState::kHidden);
  EXPECT_EQ(listing[1].entry64, EntryState::kNone);
  EXPECT_EQ(listing[2].entry32, EntryState::kNone);
  // Of the two at 2.0 the first enumerated is the one hiding and /keepnewest keep.
  EXPECT_TRUE(listing[1].keptByHide);
  EXPECT_TRUE(listing[1].keptByKeepNewest);
  EXPECT_FALSE(listing[2].keptByHide);
  EXPECT_EQ(listing[1].removalPosition, 1u);
  EXPECT_EQ(listing[2].removalPosition, 2u);
  EXPECT_EQ(listing[0].removalPosition, 3u);
  EXPECT_FALSE(SystemComponent(visible, View::k64));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, UninstallPath(bare), L"SystemComponent",
                           View::k32));
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
}

}  // namespace

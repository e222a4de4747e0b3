#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/UniqueHandle.h"
#include "products/ProductFamily.h"
#include "support/FakeInstaller.h"
#include "support/ScratchKey.h"
#include "support/UninstallEntries.h"

namespace {

const std::wstring kFamily = L"{00000000-0000-0000-0000-0000000000AA}";

// Codes of this test's own, so that no installed product is ever touched.
std::wstring NewCode() {
  static int next = 0;
  return L"{msitool-report-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++next) + L"}";
}

FakeProduct Member(const std::wstring& code, const wchar_t* version) {
  FakeProduct product;
  product.productCode = code;
  product.version = version;
  return product;
}

// Denies everyone the writing of values under the product's key in the view, as a locked-down
// entry would; the key can still be read and deleted.
bool DenyWrites(const std::wstring& productCode, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallEntries::KeyPath(productCode).c_str(), 0,
                    WRITE_DAC | view, &key) != ERROR_SUCCESS) {
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
  const std::wstring both = NewCode(), none = NewCode(), newest = NewCode(), only64 = NewCode();
  ASSERT_TRUE(entries_.Add(both, KEY_WOW64_32KEY, L"Both"));
  ASSERT_TRUE(entries_.Add(both, KEY_WOW64_64KEY, L"Both"));
  ASSERT_TRUE(entries_.Add(none, KEY_WOW64_32KEY, nullptr));  // a key without DisplayName
  ASSERT_TRUE(entries_.Add(newest, KEY_WOW64_32KEY, L"Newest"));
  ASSERT_TRUE(entries_.Add(only64, KEY_WOW64_64KEY, L"Only 64"));
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
  EXPECT_EQ(UninstallEntries::SystemComponent(both, KEY_WOW64_32KEY), 1u);
  EXPECT_EQ(UninstallEntries::SystemComponent(both, KEY_WOW64_64KEY), 1u);
  EXPECT_FALSE(UninstallEntries::SystemComponent(none, KEY_WOW64_32KEY));
  EXPECT_FALSE(UninstallEntries::SystemComponent(newest, KEY_WOW64_32KEY));
  EXPECT_EQ(UninstallEntries::SystemComponent(only64, KEY_WOW64_64KEY), 1u);
}

TEST_F(FamilyReport, AnEntryThatRefusesTheWriteIsNotHiddenWithTheRegistrysError) {
  const std::wstring locked = NewCode(), newest = NewCode();
  ASSERT_TRUE(entries_.Add(locked, KEY_WOW64_32KEY, L"Locked"));
  ASSERT_TRUE(entries_.Add(locked, KEY_WOW64_64KEY, L"Open"));
  ASSERT_TRUE(DenyWrites(locked, KEY_WOW64_32KEY));
  installer_.products = {Member(locked, L"1.0"), Member(newest, L"2.0")};
  installer_.knownUpgradeCode = kFamily;
  ProductFamily family(installer_, kFamily);
  const std::vector<MemberOutcome> outcomes = family.HideOldProductsWithOutcomes();

  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].hide.view32.state, ViewHideOutcome::State::kNotHidden);
  EXPECT_EQ(outcomes[0].hide.view32.error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(outcomes[0].hide.view64.state, ViewHideOutcome::State::kHidden);
  EXPECT_TRUE(outcomes[0].hide.AnyFailed());
  EXPECT_FALSE(UninstallEntries::SystemComponent(locked, KEY_WOW64_32KEY));
  EXPECT_EQ(UninstallEntries::SystemComponent(locked, KEY_WOW64_64KEY), 1u);
}

TEST_F(FamilyReport, ClassicHideCountsWhatTheOutcomesCallHidden) {
  const std::wstring locked = NewCode(), open = NewCode(), newest = NewCode();
  ASSERT_TRUE(entries_.Add(locked, KEY_WOW64_32KEY, L"Locked"));
  ASSERT_TRUE(DenyWrites(locked, KEY_WOW64_32KEY));
  ASSERT_TRUE(entries_.Add(open, KEY_WOW64_64KEY, L"Open"));
  installer_.products = {Member(locked, L"1.0"), Member(open, L"1.0"), Member(newest, L"2.0")};
  installer_.knownUpgradeCode = kFamily;
  ProductFamily family(installer_, kFamily);
  EXPECT_EQ(family.HideOldProducts(), 1u);
}

TEST_F(FamilyReport, ListReadsTheEntriesWithoutWritingThem) {
  const std::wstring visible = NewCode(), hidden = NewCode(), bare = NewCode();
  ASSERT_TRUE(entries_.Add(visible, KEY_WOW64_64KEY, L"Visible"));
  ASSERT_TRUE(entries_.Add(hidden, KEY_WOW64_32KEY, L"Hidden"));
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, UninstallEntries::KeyPath(hidden), L"Comments",
                          L"x", KEY_WOW64_32KEY));
  {
    FakeInstaller one({Member(hidden, L"1.0")});
    Product product(one, hidden);
    ASSERT_TRUE(product.HideFromAddRemove());
  }
  ASSERT_TRUE(entries_.Add(bare, KEY_WOW64_32KEY, nullptr));
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
  EXPECT_FALSE(UninstallEntries::SystemComponent(visible, KEY_WOW64_64KEY));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, UninstallEntries::KeyPath(bare), L"SystemComponent",
                           KEY_WOW64_32KEY));
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
}

}  // namespace

#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "common/Utf8.h"
#include "installer/InstallerCodes.h"
#include "products/InstalledFamilies.h"
#include "products/ProductFamily.h"
#include "registry/PackedGuid.h"
#include "support/FakeInstaller.h"
#include "support/TestRegistry.h"

namespace {

const std::wstring kFamily = L"{00000000-0000-0000-0000-0000000000AA}";

FakeProduct Member(const std::wstring& code, const wchar_t* version) { return {code, version}; }

class FamilyReport : public testing::Test {
 protected:
  FakeInstaller installer_;
  UninstallEntries entries_;
};

// HideFromAddRemoveTest has what each view's entry gives; here, that every member has its outcome.
TEST_F(FamilyReport, HideGivesEveryMemberItsOutcomeInEnumerationOrderAndKeepsTheNewest) {
  const std::wstring both = NewProductCode(), none = NewProductCode(), newest = NewProductCode(),
                     only64 = NewProductCode();
  ASSERT_TRUE(entries_.Add(both, View::k32, L"Both"));
  ASSERT_TRUE(entries_.Add(both, View::k64, L"Both"));
  ASSERT_TRUE(entries_.Add(newest, View::k32, L"Newest"));
  ASSERT_TRUE(entries_.Add(only64, View::k64, L"Only 64"));
  installer_.products = {Member(both, L"1.0"), Member(none, L"2.0"), Member(newest, L"3.0"), Member(only64, L"1.5")};
  installer_.knownUpgradeCode = kFamily;
  ProductFamily family(installer_, kFamily);
  const std::vector<MemberOutcome> outcomes = family.HideOldProductsWithOutcomes();

  using Kind = MemberOutcome::Kind;
  using State = ViewHideOutcome::State;
  const std::tuple<std::wstring, std::wstring, Kind, State, State> expected[] = {
      {both, L"1.0", Kind::kHide, State::kHidden, State::kHidden},
      {none, L"2.0", Kind::kHide, State::kNoEntry, State::kNoEntry},
      {newest, L"3.0", Kind::kKeptNewest, State::kNoEntry, State::kNoEntry},
      {only64, L"1.5", Kind::kHide, State::kNoEntry, State::kHidden}};
  ASSERT_EQ(outcomes.size(), std::size(expected));
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    const MemberOutcome& outcome = outcomes[i];
    EXPECT_EQ(std::tie(outcome.productCode, outcome.versionString, outcome.kind, outcome.hide.view32.state,
                       outcome.hide.view64.state),
              expected[i])
        << "member " << i;
  }
  EXPECT_FALSE(SystemComponent(newest, View::k32));
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
  EXPECT_TRUE(listing[1].keptByKeepNewest());
  EXPECT_FALSE(listing[2].keptByHide);
  EXPECT_EQ(listing[1].removalPosition, 1u);
  EXPECT_EQ(listing[2].removalPosition, 2u);
  EXPECT_EQ(listing[0].removalPosition, 3u);
  EXPECT_FALSE(SystemComponent(visible, View::k64));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, UninstallPath(bare), L"SystemComponent",
                           View::k32));
  EXPECT_EQ(installer_.CallCount(L"SetInternalUI"), 0);
}

// Another user's newer per-user install: every action leaves it as it is and says so, and none
// takes it for the member this account keeps.
TEST_F(FamilyReport, AnotherUsersMemberIsLeftByEveryActionAndNeverKept) {
  const std::wstring older = NewProductCode(), own = NewProductCode(), others = NewProductCode();
  for (const std::wstring& code : {older, own, others}) ASSERT_TRUE(entries_.Add(code, View::k64, L"Entry"));
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, UninstallPath(others), L"SystemComponent", L"mine", View::k64));
  FakeProduct other = Member(others, L"3.0");
  other.context = installer::kContextUserUnmanaged;
  other.otherUserSid = L"S-1-5-21-1111-2222-3333-1001";
  installer_.products = {Member(older, L"1.0"), other, Member(own, L"2.0")};
  const auto left = [&](const std::vector<MemberOutcome>& outcomes, MemberOutcome::Kind keptKind) {
    ASSERT_EQ(outcomes.size(), 3u);
    for (const MemberOutcome& outcome : outcomes) {
      EXPECT_EQ(outcome.kind == MemberOutcome::Kind::kOtherUser, outcome.productCode == others);
      if (outcome.productCode == own) {
        EXPECT_EQ(outcome.kind, keptKind);
      }
    }
    EXPECT_EQ(outcomes[outcomes[0].productCode == others ? 0 : 1].userSid, other.otherUserSid);
  };
  const auto untouched = [&] {
    RegistryValues values;
    ASSERT_TRUE(ReadValues(HKEY_LOCAL_MACHINE, UninstallPath(others), View::k64, values));
    EXPECT_EQ(values.count(L"SystemComponent"), 1u) << "another user's entry was changed";
    for (const std::wstring& call : installer_.calls) {
      EXPECT_TRUE(call.find(others) == std::wstring::npos || call.rfind(L"ConfigureProductEx", 0) != 0) << ToUtf8(call);
    }
    EXPECT_TRUE(installer_.installCalls.empty());
  };
  {
    ProductFamily family(installer_, installer_.knownUpgradeCode);
    EXPECT_EQ(family.Newest()->GetProductCode(), own);
    const std::vector<MemberListing> listing = family.List();
    EXPECT_EQ(listing[1].context, MemberIdentity::Context::kOtherUser);
    EXPECT_EQ(listing[1].removalPosition, 0u);
    EXPECT_EQ(listing[1].versionString, L"3.0") << "another user's version, from that user's install";
    EXPECT_EQ(std::make_pair(listing[2].removalPosition, listing[0].removalPosition), std::make_pair(1u, 2u));
    EXPECT_EQ(family.HideOldProducts(), 1u);
    left(family.ShowEntriesWithOutcomes(), MemberOutcome::Kind::kShow);
    left(family.HideOldProductsWithOutcomes(), MemberOutcome::Kind::kKeptNewest);
    EXPECT_FALSE(SystemComponent(own, View::k64));
    EXPECT_EQ(SystemComponent(older, View::k64), 1u);
  }
  RemovalOptions keepNewest;
  keepNewest.keepNewest = true;
  left(ProductFamily(installer_, installer_.knownUpgradeCode).UninstallAllWithOutcomes(keepNewest),
       MemberOutcome::Kind::kKeptByKeepNewest);
  EXPECT_EQ(installer_.removed, std::vector<std::wstring>{older});
  EXPECT_EQ(ProductFamily(installer_, installer_.knownUpgradeCode).UninstallAll(), 2u) << "the classic count";
  untouched();
}

// What only the machine's registration names: another user's member joins its family (Windows lists
// it to nobody else), a code nobody installed does not; and of the entries that claim the installer,
// only the one whose product nobody has installed is orphaned.
TEST_F(FamilyReport, TheMachinesRegistrationAddsOtherUsersMembersAndOnlyNobodysEntryIsOrphaned) {
  const std::wstring own = NewProductCode(), others = NewProductCode(), nobodys = NewProductCode(),
                     othersAlone = NewProductCode(), unclaimed = NewProductCode();
  FakeProduct other = Member(others, L"3.0");
  other.related = false;
  other.context = installer::kContextUserUnmanaged;
  other.otherUserSid = L"S-1-5-32-544";  // a SID Wine resolves: BUILTIN\Administrators
  FakeProduct alone = other;  // another user's too, of no family
  alone.productCode = othersAlone;
  installer_.products = {Member(own, L"1.0"), other, alone};
  const std::wstring registration = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\" +
                                    *PackGuid(installer_.knownUpgradeCode);
  for (const std::wstring& code : {own, others, nobodys}) {
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, registration, PackGuid(code)->c_str(), L"", View::k64));
  }
  // Nobody's entry in the 32-bit view; one of nobody's that does not claim the installer (0).
  for (const auto& [code, view, claims] : {std::tuple{others, View::k64, 1u}, std::tuple{nobodys, View::k32, 1u},
                                           std::tuple{othersAlone, View::k64, 1u}, std::tuple{unclaimed, View::k64, 0u}}) {
    ASSERT_TRUE(entries_.Add(code, view, L"Entry"));
    ASSERT_TRUE(WriteValue(HKEY_LOCAL_MACHINE, UninstallPath(code), view, L"WindowsInstaller", DwordValue(claims)));
  }
  const std::vector<MemberListing> listing = ProductFamily(installer_, installer_.knownUpgradeCode).List();
  const InstalledFamilies installed = ListInstalledFamilies(installer_, {installer_.knownUpgradeCode});
  DeleteKeyTree(HKEY_LOCAL_MACHINE, registration, View::k64);  // before any assertion can end the test
  ASSERT_EQ(listing.size(), 2u);
  EXPECT_EQ(listing[0].productCode, own);
  EXPECT_EQ(listing[1].productCode, others);
  EXPECT_EQ(listing[1].context, MemberIdentity::Context::kOtherUser);
  EXPECT_EQ(listing[1].userName, L"BUILTIN\\Administrators");
  ASSERT_EQ(installed.orphanedEntries.size(), 1u);
  EXPECT_EQ(installed.orphanedEntries[0].productCode, nobodys);
  EXPECT_FALSE(installed.orphanedEntries[0].view64);
}

}  // namespace

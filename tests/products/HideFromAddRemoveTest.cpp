#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "products/Product.h"
#include "products/UninstallEntry.h"
#include "support/FakeInstaller.h"
#include "support/TestRegistry.h"

namespace {

using State = ViewHideOutcome::State;

const std::wstring kNoKey = L"<no key>";
const std::wstring kNoDisplayName = L"<no DisplayName>";
const std::wstring kLocked = L"<locked>";  // named, but denies everyone the writing of values
const std::wstring kUnreadable = L"<unreadable>";  // named, but denies everyone the reading of values

struct HideCase {
  const char* name;
  std::wstring entry32, entry64;  // the DisplayName each view's key has, or one of the above
  State state32, state64;
  long error32 = ERROR_SUCCESS;  // the registry's error for a view that was not hidden
};

void PrintTo(const HideCase& test, std::ostream* stream) { *stream << test.name; }

const HideCase kHideCases[] = {
    {"OnlyThe32BitView", L"Only 32", kNoKey, State::kHidden, State::kNoEntry},
    {"OnlyThe64BitView", kNoKey, L"Only 64", State::kNoEntry, State::kHidden},
    {"BothViews", L"Both", L"Both", State::kHidden, State::kHidden},
    {"ViewWithoutDisplayNameIsSkipped", kNoDisplayName, L"Named", State::kNoEntry, State::kHidden},
    {"NoKeyInEitherView", kNoKey, kNoKey, State::kNoEntry, State::kNoEntry},
    {"KeyWithoutDisplayNameOnly", kNoKey, kNoDisplayName, State::kNoEntry, State::kNoEntry},
    {"DisplayNameOf999Fits", std::wstring(999, L'n'), kNoKey, State::kHidden, State::kNoEntry},
    {"DisplayNameOf1000IsTooLongForTheProbe", std::wstring(1000, L'n'), kNoKey, State::kNotHidden, State::kNoEntry,
     ERROR_MORE_DATA},
    {"ViewThatRefusesTheWriteIsSkippedAndTheOtherWritten", kLocked, L"Open", State::kNotHidden, State::kHidden,
     ERROR_ACCESS_DENIED},
    {"OnlyViewRefusesTheWrite", kLocked, kNoKey, State::kNotHidden, State::kNoEntry, ERROR_ACCESS_DENIED},
    // A listed entry that cannot be read is not one that is not there.
    {"ViewThatRefusesTheReadIsNotHiddenNotAbsent", kUnreadable, kNoKey, State::kNotHidden, State::kNoEntry,
     ERROR_ACCESS_DENIED},
};

class HideFromAddRemove : public testing::TestWithParam<HideCase> {};

TEST_P(HideFromAddRemove, HidesEachViewThatListsTheProductAndSaysWhatItDid) {
  const HideCase& test = GetParam();
  const std::wstring code = NewProductCode();
  UninstallEntries entries;
  for (const auto& [entry, view] : {std::pair{test.entry32, View::k32}, std::pair{test.entry64, View::k64}}) {
    if (entry == kNoKey) continue;
    ASSERT_TRUE(entries.Add(code, view, entry == kNoDisplayName ? nullptr : entry.c_str()));
    if (entry == kLocked || entry == kUnreadable) {
      // Everyone may do all else with the key, nobody may set (0x2) or read (0x1) its values.
      ASSERT_TRUE(SetKeyAccess(HKEY_LOCAL_MACHINE, UninstallPath(code), view,
                               entry == kLocked ? L"D:(D;;0x2;;;WD)(A;;GA;;;WD)" : L"D:(D;;0x1;;;WD)(A;;GA;;;WD)"));
    }
  }
  FakeInstaller installer({{code, L"1.0"}});
  Product product(installer, code);
  const HideOutcome outcome = product.HideEntries();
  EXPECT_EQ(outcome.view32.state, test.state32);
  EXPECT_EQ(outcome.view64.state, test.state64);
  EXPECT_EQ(outcome.view32.error, test.error32);
  EXPECT_EQ(outcome.view64.error, ERROR_SUCCESS);
  // What the outcome says is what the registry holds, and no key is made where there was none.
  EXPECT_EQ(SystemComponent(code, View::k32).has_value(), test.state32 == State::kHidden);
  EXPECT_EQ(SystemComponent(code, View::k64).has_value(), test.state64 == State::kHidden);
  EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(code), View::k32), test.entry32 != kNoKey);
  EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(code), View::k64), test.entry64 != kNoKey);
  // Again, as the classic answer: an entry already hidden is written again.
  EXPECT_EQ(product.HideFromAddRemove(), test.state32 == State::kHidden || test.state64 == State::kHidden);
  EXPECT_EQ(SystemComponent(code, View::k32).value_or(1), 1u);
  EXPECT_EQ(SystemComponent(code, View::k64).value_or(1), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, HideFromAddRemove, testing::ValuesIn(kHideCases),
                         [](const testing::TestParamInfo<HideCase>& info) { return std::string(info.param.name); });

TEST(UninstallKeyPath, FollowsTheUninstallRoot) {
  EXPECT_EQ(UninstallKeyPath(L"{X}"),
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{X}");
}

}  // namespace

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <tuple>

#include "common/UniqueHandle.h"
#include "products/Product.h"
#include "products/UninstallEntry.h"
#include "support/FakeInstaller.h"
#include "support/TestRegistry.h"

namespace {

bool Hide(const std::wstring& code) {
  FakeInstaller installer({{code, L"1.0"}});
  Product product(installer, code);
  return product.HideFromAddRemove();
}

TEST(HideExistingKey, KeyThatGrantsAdministratorsOnlySetValueIsHidden) {
  const std::wstring code = NewProductCode();
  UninstallEntries entries;
  ASSERT_TRUE(entries.Add(code, View::k32, L"Own entry"));
  // Everybody reads; the Administrators may set values, and nothing more.
  ASSERT_TRUE(SetKeyAccess(HKEY_LOCAL_MACHINE, UninstallPath(code), View::k32, L"D:P(A;;KR;;;WD)(A;;0x0002;;;BA)"));
  UniqueKey full;
  ASSERT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallPath(code).c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                          full.put()), ERROR_SUCCESS)
      << "the key is expected to refuse full control";
  EXPECT_TRUE(Hide(code));
  EXPECT_EQ(SystemComponent(code, View::k32), 1u);
}

// Deletes the key in the view being hidden, right after its probe: an uninstall that ran meanwhile.
std::wstring vanishingPath;
void DeleteTheProbedKey(unsigned long viewAccess) {
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, vanishingPath.c_str(), viewAccess, 0);
}

TEST(HideExistingKey, KeyDeletedBetweenProbeAndWriteIsNotCreatedAgain) {
  const std::wstring code = NewProductCode();
  UninstallEntries entries;
  ASSERT_TRUE(entries.Add(code, View::k64, L"Own entry"));
  vanishingPath = UninstallPath(code);
  const HideProbeHook previous = SetHideProbeHookForTesting(DeleteTheProbedKey);
  const bool hidden = Hide(code);
  SetHideProbeHookForTesting(previous);
  EXPECT_FALSE(hidden);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(code), View::k64))
      << "a ghost key holding only SystemComponent";
}

void DeleteTheProbedValue(unsigned long viewAccess) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, vanishingPath.c_str(), 0, KEY_SET_VALUE | viewAccess, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"SystemComponent");
    RegCloseKey(key);
  }
}

// Showing meets the same race: an uninstall takes the key (no entry, and none is made), or another
// run shows the entry first (it is visible, which is no failure).
TEST(ShowExistingKey, KeyOrValueDeletedBetweenProbeAndDeleteIsNoFailureAndNothingIsCreated) {
  for (const auto& [hook, state, keyLeft] : {std::tuple{&DeleteTheProbedKey, ViewShowOutcome::State::kNoEntry, false},
                                             std::tuple{&DeleteTheProbedValue, ViewShowOutcome::State::kVisible, true}}) {
    const std::wstring code = NewProductCode();
    UninstallEntries entries;
    ASSERT_TRUE(entries.Add(code, View::k64, L"Own entry"));
    HKEY key = nullptr;
    const DWORD one = 1;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallPath(code).c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key), 0);
    RegSetValueExW(key, L"SystemComponent", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
    FakeProduct product{code, L"1.0"};
    product.localPackage = L"C:\\cached.msi";
    FakeInstaller installer({product});
    installer.packages[*product.localPackage] = {};  // authors nothing: the entry may be shown
    vanishingPath = UninstallPath(code);
    const HideProbeHook previous = SetHideProbeHookForTesting(hook);
    const ShowOutcome outcome = Product(installer, code).ShowEntries();
    SetHideProbeHookForTesting(previous);
    EXPECT_EQ(outcome.view64.state, state);
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(code), View::k64), keyLeft);
  }
}

}  // namespace

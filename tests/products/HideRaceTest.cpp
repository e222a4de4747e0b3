#include <gtest/gtest.h>

#include <windows.h>

#include <string>

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

}  // namespace

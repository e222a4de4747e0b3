#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <string>

#include "common/UniqueHandle.h"

#include "products/Product.h"
#include "products/UninstallEntry.h"
#include "support/FakeInstaller.h"
#include "support/ScratchKey.h"
#include "support/UninstallEntries.h"

namespace {

class HideFromAddRemove : public testing::Test {
 protected:
  // A product code of this test's own, so that no installed product is ever touched.
  std::wstring NewCode() {
    static int next = 0;
    return L"{msitool-hide-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++next) + L"}";
  }

  bool Hide(const std::wstring& code) {
    installer_.products.push_back({code, L"1.0"});
    Product product(installer_, code);
    return product.HideFromAddRemove();
  }

  FakeInstaller installer_;
  UninstallEntries entries_;
};

TEST_F(HideFromAddRemove, KeyPathFollowsTheUninstallRoot) {
  EXPECT_EQ(UninstallKeyPath(L"{X}"),
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{X}");
}

TEST_F(HideFromAddRemove, WritesOnlyTheViewThatHasTheKey) {
  const std::wstring only32 = NewCode();
  const std::wstring only64 = NewCode();
  ASSERT_TRUE(entries_.Add(only32, KEY_WOW64_32KEY, L"Only 32"));
  ASSERT_TRUE(entries_.Add(only64, KEY_WOW64_64KEY, L"Only 64"));

  EXPECT_TRUE(Hide(only32));
  EXPECT_EQ(UninstallEntries::SystemComponent(only32, KEY_WOW64_32KEY), 1u);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntries::KeyPath(only32), KEY_WOW64_64KEY))
      << "hiding must not create the key in the other view";

  EXPECT_TRUE(Hide(only64));
  EXPECT_EQ(UninstallEntries::SystemComponent(only64, KEY_WOW64_64KEY), 1u);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntries::KeyPath(only64), KEY_WOW64_32KEY));
}

TEST_F(HideFromAddRemove, WritesBothViewsWhenBothHaveTheKey) {
  const std::wstring code = NewCode();
  ASSERT_TRUE(entries_.Add(code, KEY_WOW64_32KEY, L"Both"));
  ASSERT_TRUE(entries_.Add(code, KEY_WOW64_64KEY, L"Both"));
  EXPECT_TRUE(Hide(code));
  EXPECT_EQ(UninstallEntries::SystemComponent(code, KEY_WOW64_32KEY), 1u);
  EXPECT_EQ(UninstallEntries::SystemComponent(code, KEY_WOW64_64KEY), 1u);
}

TEST_F(HideFromAddRemove, SkipsAViewWithoutDisplayName) {
  const std::wstring code = NewCode();
  ASSERT_TRUE(entries_.Add(code, KEY_WOW64_32KEY, nullptr));
  ASSERT_TRUE(entries_.Add(code, KEY_WOW64_64KEY, L"Named"));
  EXPECT_TRUE(Hide(code));
  EXPECT_FALSE(UninstallEntries::SystemComponent(code, KEY_WOW64_32KEY).has_value());
  EXPECT_EQ(UninstallEntries::SystemComponent(code, KEY_WOW64_64KEY), 1u);
}

TEST_F(HideFromAddRemove, AnswersFalseWhenNoViewHasTheEntry) {
  const std::wstring missing = NewCode();
  const std::wstring unnamed = NewCode();
  ASSERT_TRUE(entries_.Add(unnamed, KEY_WOW64_64KEY, nullptr));
  EXPECT_FALSE(Hide(missing));
  EXPECT_FALSE(Hide(unnamed));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntries::KeyPath(missing), KEY_WOW64_32KEY));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallEntries::KeyPath(missing), KEY_WOW64_64KEY));
}

TEST_F(HideFromAddRemove, DisplayNameMustFitTheProbeBuffer) {
  const std::wstring fits = NewCode();
  const std::wstring tooLong = NewCode();
  ASSERT_TRUE(entries_.Add(fits, KEY_WOW64_32KEY, std::wstring(999, L'n').c_str()));
  ASSERT_TRUE(entries_.Add(tooLong, KEY_WOW64_32KEY, std::wstring(1000, L'n').c_str()));
  EXPECT_TRUE(Hide(fits));
  EXPECT_EQ(UninstallEntries::SystemComponent(fits, KEY_WOW64_32KEY), 1u);
  EXPECT_FALSE(Hide(tooLong));
  EXPECT_FALSE(UninstallEntries::SystemComponent(tooLong, KEY_WOW64_32KEY).has_value());
}

TEST_F(HideFromAddRemove, AlreadyHiddenEntryIsWrittenAgain) {
  const std::wstring code = NewCode();
  ASSERT_TRUE(entries_.Add(code, KEY_WOW64_64KEY, L"Hidden"));
  ASSERT_TRUE(Hide(code));
  EXPECT_TRUE(Hide(code));
  EXPECT_EQ(UninstallEntries::SystemComponent(code, KEY_WOW64_64KEY), 1u);
}

// Replaces a key's access list with one that lets everybody read it and nobody write it, and
// gives full access back at the end, so that the key can still be deleted.
class ReadOnlyKey {
 public:
  ReadOnlyKey(const std::wstring& path, REGSAM view) : path_(path), view_(view) {
    applied_ = SetAccess(L"D:P(A;;KR;;;WD)");
  }
  ~ReadOnlyKey() { SetAccess(L"D:P(A;;KA;;;WD)"); }
  bool applied() const { return applied_; }

 private:
  bool SetAccess(const wchar_t* sddl) {
    UniqueSecurityDescriptor descriptor;
    UniqueKey key;
    return ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                descriptor.put(), nullptr) &&
           RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, WRITE_DAC | view_, key.put()) ==
               ERROR_SUCCESS &&
           RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()) ==
               ERROR_SUCCESS;
  }

  std::wstring path_;
  REGSAM view_;
  bool applied_ = false;
};

TEST_F(HideFromAddRemove, ViewThatRefusesTheWriteIsSkippedAndTheOtherIsStillWritten) {
  const std::wstring code = NewCode();
  ASSERT_TRUE(entries_.Add(code, KEY_WOW64_32KEY, L"Locked"));
  ASSERT_TRUE(entries_.Add(code, KEY_WOW64_64KEY, L"Open"));
  const ReadOnlyKey locked(UninstallEntries::KeyPath(code), KEY_WOW64_32KEY);
  ASSERT_TRUE(locked.applied());
  EXPECT_TRUE(Hide(code));
  EXPECT_FALSE(UninstallEntries::SystemComponent(code, KEY_WOW64_32KEY).has_value());
  EXPECT_EQ(UninstallEntries::SystemComponent(code, KEY_WOW64_64KEY), 1u);
}

}  // namespace

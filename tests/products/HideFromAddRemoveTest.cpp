#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <string>

#include "common/UniqueHandle.h"

#include "products/Product.h"
#include "products/UninstallEntry.h"
#include "support/FakeInstaller.h"
#include "support/TestRegistry.h"

namespace {

class HideFromAddRemove : public testing::Test {
 protected:
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
  const std::wstring only32 = NewProductCode();
  const std::wstring only64 = NewProductCode();
  ASSERT_TRUE(entries_.Add(only32, View::k32, L"Only 32"));
  ASSERT_TRUE(entries_.Add(only64, View::k64, L"Only 64"));

  EXPECT_TRUE(Hide(only32));
  EXPECT_EQ(SystemComponent(only32, View::k32), 1u);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(only32), View::k64))
      << "hiding must not create the key in the other view";

  EXPECT_TRUE(Hide(only64));
  EXPECT_EQ(SystemComponent(only64, View::k64), 1u);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(only64), View::k32));
}

TEST_F(HideFromAddRemove, WritesBothViewsWhenBothHaveTheKey) {
  const std::wstring code = NewProductCode();
  ASSERT_TRUE(entries_.Add(code, View::k32, L"Both"));
  ASSERT_TRUE(entries_.Add(code, View::k64, L"Both"));
  EXPECT_TRUE(Hide(code));
  EXPECT_EQ(SystemComponent(code, View::k32), 1u);
  EXPECT_EQ(SystemComponent(code, View::k64), 1u);
}

TEST_F(HideFromAddRemove, SkipsAViewWithoutDisplayName) {
  const std::wstring code = NewProductCode();
  ASSERT_TRUE(entries_.Add(code, View::k32, nullptr));
  ASSERT_TRUE(entries_.Add(code, View::k64, L"Named"));
  EXPECT_TRUE(Hide(code));
  EXPECT_FALSE(SystemComponent(code, View::k32).has_value());
  EXPECT_EQ(SystemComponent(code, View::k64), 1u);
}

TEST_F(HideFromAddRemove, AnswersFalseWhenNoViewHasTheEntry) {
  const std::wstring missing = NewProductCode();
  const std::wstring unnamed = NewProductCode();
  ASSERT_TRUE(entries_.Add(unnamed, View::k64, nullptr));
  EXPECT_FALSE(Hide(missing));
  EXPECT_FALSE(Hide(unnamed));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(missing), View::k32));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallPath(missing), View::k64));
}

TEST_F(HideFromAddRemove, DisplayNameMustFitTheProbeBuffer) {
  const std::wstring fits = NewProductCode();
  const std::wstring tooLong = NewProductCode();
  ASSERT_TRUE(entries_.Add(fits, View::k32, std::wstring(999, L'n').c_str()));
  ASSERT_TRUE(entries_.Add(tooLong, View::k32, std::wstring(1000, L'n').c_str()));
  EXPECT_TRUE(Hide(fits));
  EXPECT_EQ(SystemComponent(fits, View::k32), 1u);
  EXPECT_FALSE(Hide(tooLong));
  EXPECT_FALSE(SystemComponent(tooLong, View::k32).has_value());
}

TEST_F(HideFromAddRemove, AlreadyHiddenEntryIsWrittenAgain) {
  const std::wstring code = NewProductCode();
  ASSERT_TRUE(entries_.Add(code, View::k64, L"Hidden"));
  ASSERT_TRUE(Hide(code));
  EXPECT_TRUE(Hide(code));
  EXPECT_EQ(SystemComponent(code, View::k64), 1u);
}

// Replaces a key's access list with one that lets everybody read it and nobody write it, and
// gives full access back at the end, so that the key can still be deleted.
class ReadOnlyKey {
 public:
  ReadOnlyKey(const std::wstring& path, View view) : path_(path), view_(view) {
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
           RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, WRITE_DAC | static_cast<REGSAM>(view_), key.put()) ==
               ERROR_SUCCESS &&
           RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()) ==
               ERROR_SUCCESS;
  }

  std::wstring path_;
  View view_;
  bool applied_ = false;
};

TEST_F(HideFromAddRemove, ViewThatRefusesTheWriteIsSkippedAndTheOtherIsStillWritten) {
  const std::wstring code = NewProductCode();
  ASSERT_TRUE(entries_.Add(code, View::k32, L"Locked"));
  ASSERT_TRUE(entries_.Add(code, View::k64, L"Open"));
  const ReadOnlyKey locked(UninstallPath(code), View::k32);
  ASSERT_TRUE(locked.applied());
  EXPECT_TRUE(Hide(code));
  EXPECT_FALSE(SystemComponent(code, View::k32).has_value());
  EXPECT_EQ(SystemComponent(code, View::k64), 1u);
}

}  // namespace

#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <string>

#include "common/UniqueHandle.h"
#include "products/Product.h"
#include "products/UninstallEntry.h"
#include "support/FakeInstaller.h"

namespace {

const std::wstring kUninstallPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The product's uninstall key in one view of HKLM, made for one test and deleted afterwards.
class OwnEntry {
 public:
  OwnEntry(const std::wstring& code, REGSAM view) : path_(kUninstallPath + code), view_(view) {
    UniqueKey key;
    const wchar_t name[] = L"Own entry";
    made_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                            nullptr, key.put(), nullptr) == ERROR_SUCCESS &&
            RegSetValueExW(key.get(), L"DisplayName", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(name), sizeof(name)) == ERROR_SUCCESS;
  }
  ~OwnEntry() {
    SetAccess(L"D:P(A;;KA;;;WD)");
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), view_, 0);
  }
  bool made() const { return made_; }
  const std::wstring& path() const { return path_; }

  bool SetAccess(const wchar_t* sddl) const {
    UniqueSecurityDescriptor descriptor;
    UniqueKey key;
    return ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                descriptor.put(), nullptr) &&
           RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, WRITE_DAC | view_, key.put()) ==
               ERROR_SUCCESS &&
           RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()) ==
               ERROR_SUCCESS;
  }

  bool Opens(REGSAM access) const {
    UniqueKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, access | view_, key.put()) ==
           ERROR_SUCCESS;
  }

  bool Exists() const { return Opens(KEY_QUERY_VALUE); }

  // SystemComponent as a REG_DWORD; 0xFFFFFFFF when it is missing or of another type.
  DWORD SystemComponent() const {
    UniqueKey key;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const bool read =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_QUERY_VALUE | view_, key.put()) ==
            ERROR_SUCCESS &&
        RegQueryValueExW(key.get(), L"SystemComponent", nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS;
    return read && type == REG_DWORD ? value : 0xFFFFFFFF;
  }

 private:
  std::wstring path_;
  REGSAM view_;
  bool made_ = false;
};

std::wstring NewCode() {
  static int next = 0;
  return L"{msitool-hide-race-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++next) + L"}";
}

bool Hide(const std::wstring& code) {
  FakeInstaller installer;
  installer.products.push_back({code, L"1.0"});
  Product product(installer, code);
  return product.HideFromAddRemove();
}

TEST(HideExistingKey, KeyThatGrantsAdministratorsOnlySetValueIsHidden) {
  const std::wstring code = NewCode();
  const OwnEntry entry(code, KEY_WOW64_32KEY);
  ASSERT_TRUE(entry.made());
  // Everybody reads; the Administrators may set values, and nothing more.
  ASSERT_TRUE(entry.SetAccess(L"D:P(A;;KR;;;WD)(A;;0x0002;;;BA)"));
  ASSERT_TRUE(entry.Opens(KEY_SET_VALUE));
  ASSERT_FALSE(entry.Opens(KEY_ALL_ACCESS)) << "the key is expected to refuse full control";

  EXPECT_TRUE(Hide(code));
  EXPECT_EQ(entry.SystemComponent(), 1u);
}

// Deletes the key in the view being hidden, right after its probe: an uninstall that ran meanwhile.
std::wstring vanishingPath;
void DeleteTheProbedKey(unsigned long viewAccess) {
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, vanishingPath.c_str(), viewAccess, 0);
}

TEST(HideExistingKey, KeyDeletedBetweenProbeAndWriteIsNotCreatedAgain) {
  const std::wstring code = NewCode();
  const OwnEntry entry(code, KEY_WOW64_64KEY);
  ASSERT_TRUE(entry.made());
  vanishingPath = entry.path();
  const HideProbeHook previous = SetHideProbeHookForTesting(DeleteTheProbedKey);
  const bool hidden = Hide(code);
  SetHideProbeHookForTesting(previous);
  EXPECT_FALSE(hidden);
  EXPECT_FALSE(entry.Exists()) << "a ghost key holding only SystemComponent";
}

}  // namespace

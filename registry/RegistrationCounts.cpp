#include "registry/RegistrationCounts.h"

#include <windows.h>

#include <optional>
#include <string>

#include "common/UniqueHandle.h"
#include "registry/PackedGuid.h"

namespace {

constexpr const wchar_t* kClassesInstaller = L"SOFTWARE\\Classes\\Installer\\";
constexpr const wchar_t* kMachineInstaller = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\";
constexpr const wchar_t* kManaged = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed";
constexpr const wchar_t* kUserInstaller = L"Software\\Microsoft\\Installer\\";
constexpr DWORD kKeyNameCapacity = 256;  // a key name has at most 255 characters

enum class Count { kValues, kSubkeys };

UniqueKey OpenForReading(HKEY parent, const std::wstring& path) {
  UniqueKey key;
  if (RegOpenKeyExW(parent, path.c_str(), /*ulOptions=*/0, KEY_READ | KEY_WOW64_64KEY, key.put()) !=
      ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

unsigned long CountIn(HKEY parent, const std::wstring& path, Count what) {
  const UniqueKey key = OpenForReading(parent, path);
  DWORD subkeys = 0;
  DWORD values = 0;
  if (!key || RegQueryInfoKeyW(key.get(), /*lpClass=*/nullptr, /*lpcchClass=*/nullptr, /*lpReserved=*/nullptr,
                               &subkeys, /*lpcbMaxSubKeyLen=*/nullptr, /*lpcbMaxClassLen=*/nullptr, &values,
                               /*lpcbMaxValueNameLen=*/nullptr, /*lpcbMaxValueLen=*/nullptr,
                               /*lpcbSecurityDescriptor=*/nullptr,
                               /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return what == Count::kValues ? values : subkeys;
}

// The count of parent\path\<each subkey>\rest, summed.
unsigned long CountInEach(HKEY parent, const std::wstring& path, const std::wstring& rest, Count what) {
  const UniqueKey key = OpenForReading(parent, path);
  if (!key) {
    return 0;
  }
  unsigned long count = 0;
  wchar_t name[kKeyNameCapacity] = {};
  for (DWORD index = 0;; ++index) {
    DWORD length = kKeyNameCapacity;
    if (RegEnumKeyExW(key.get(), index, name, &length, /*lpReserved=*/nullptr, /*lpClass=*/nullptr,
                      /*lpcchClass=*/nullptr, /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
      return count;
    }
    count += CountIn(key.get(), std::wstring(name, length) + L"\\" + rest, what);
  }
}

}  // namespace

unsigned long UpgradeCodeValueCount(std::wstring_view upgradeCode) {
  const std::optional<std::wstring> packed = PackGuid(upgradeCode);
  if (!packed) {
    return 0;
  }
  const std::wstring family = L"UpgradeCodes\\" + *packed;
  return CountIn(HKEY_LOCAL_MACHINE, kClassesInstaller + family, Count::kValues) +
         CountIn(HKEY_LOCAL_MACHINE, kMachineInstaller + family, Count::kValues) +
         CountInEach(HKEY_LOCAL_MACHINE, kManaged, L"Installer\\" + family, Count::kValues) +
         CountIn(HKEY_CURRENT_USER, kUserInstaller + family, Count::kValues);
}

unsigned long ProductKeyCount() {
  // The current user's key is also one of HKEY_USERS': counted twice, it only widens the bound.
  return CountIn(HKEY_LOCAL_MACHINE, std::wstring(kClassesInstaller) + L"Products", Count::kSubkeys) +
         CountInEach(HKEY_LOCAL_MACHINE, kManaged, L"Installer\\Products", Count::kSubkeys) +
         CountInEach(HKEY_USERS, L"", std::wstring(kUserInstaller) + L"Products", Count::kSubkeys) +
         CountIn(HKEY_CURRENT_USER, std::wstring(kUserInstaller) + L"Products", Count::kSubkeys);
}

#include "registry/UpgradeCodeRegistrations.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "common/UniqueHandle.h"
#include "registry/PackedGuid.h"

namespace {

constexpr const wchar_t* kMachineUpgradeCodes =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes";
constexpr const wchar_t* kUserUpgradeCodes = L"Software\\Microsoft\\Installer\\UpgradeCodes";
// Key names are at most 255 characters, value names at most 16383.
constexpr DWORD kKeyNameCapacity = 256;
constexpr DWORD kValueNameCapacity = 16384;

UniqueKey OpenForReading(HKEY parent, const wchar_t* path, REGSAM view) {
  UniqueKey key;
  if (RegOpenKeyExW(parent, path, /*ulOptions=*/0, KEY_READ | view, key.put()) != ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

// Counts the values of key whose names are not packed GUIDs.
unsigned BadValueNames(HKEY key) {
  unsigned bad = 0;
  std::wstring name(kValueNameCapacity, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = kValueNameCapacity;
    const LSTATUS status = RegEnumValueW(key, index, name.data(), &length, /*lpReserved=*/nullptr,
                                         /*lpType=*/nullptr, /*lpData=*/nullptr, /*lpcbData=*/nullptr);
    if (status != ERROR_SUCCESS) {
      return bad;
    }
    bad += UnpackGuid(std::wstring_view(name.data(), length)) ? 0 : 1;
  }
}

void ReadFrom(HKEY root, const wchar_t* path, REGSAM view, UpgradeCodeRegistrations& registrations) {
  const UniqueKey codes = OpenForReading(root, path, view);
  if (!codes) {
    return;
  }
  wchar_t name[kKeyNameCapacity] = {};
  for (DWORD index = 0;; ++index) {
    DWORD length = kKeyNameCapacity;
    if (RegEnumKeyExW(codes.get(), index, name, &length, /*lpReserved=*/nullptr, /*lpClass=*/nullptr,
                      /*lpcchClass=*/nullptr, /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
      return;
    }
    const std::optional<std::wstring> upgradeCode = UnpackGuid(std::wstring_view(name, length));
    if (!upgradeCode) {
      ++registrations.skippedKeys;
      continue;
    }
    registrations.upgradeCodes.push_back(*upgradeCode);
    const UniqueKey family = OpenForReading(codes.get(), name, view);
    if (family) {
      registrations.skippedValues += BadValueNames(family.get());
    }
  }
}

}  // namespace

UpgradeCodeRegistrations ReadUpgradeCodeRegistrations() {
  UpgradeCodeRegistrations registrations;
  ReadFrom(HKEY_LOCAL_MACHINE, kMachineUpgradeCodes, KEY_WOW64_64KEY, registrations);
  ReadFrom(HKEY_CURRENT_USER, kUserUpgradeCodes, /*view=*/0, registrations);
  std::vector<std::wstring>& codes = registrations.upgradeCodes;
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return registrations;
}

std::vector<std::wstring> ReadRegisteredMembers(std::wstring_view upgradeCode) {
  std::vector<std::wstring> members;
  const std::optional<std::wstring> packed = PackGuid(upgradeCode);
  if (!packed) {
    return members;
  }
  const UniqueKey family =
      OpenForReading(HKEY_LOCAL_MACHINE, (std::wstring(kMachineUpgradeCodes) + L"\\" + *packed).c_str(),
                     KEY_WOW64_64KEY);
  if (!family) {
    return members;
  }
  std::wstring name(kValueNameCapacity, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = kValueNameCapacity;
    if (RegEnumValueW(family.get(), index, name.data(), &length, /*lpReserved=*/nullptr, /*lpType=*/nullptr,
                      /*lpData=*/nullptr, /*lpcbData=*/nullptr) != ERROR_SUCCESS) {
      return members;
    }
    if (std::optional<std::wstring> member = UnpackGuid(std::wstring_view(name.data(), length))) {
      members.push_back(std::move(*member));
    }
  }
}

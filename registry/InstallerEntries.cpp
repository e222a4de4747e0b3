#include "registry/InstallerEntries.h"

#include <windows.h>

#include "common/GuidText.h"
#include "common/UniqueHandle.h"
#include "registry/RegistryText.h"

namespace {

constexpr const wchar_t* kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr DWORD kKeyNameCapacity = 256;  // the longest key name and its end
constexpr DWORD kClaimsInstaller = 1;

void ReadView(REGSAM view, std::vector<InstallerEntry>& entries) {
  UniqueKey uninstall;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, /*ulOptions=*/0, KEY_READ | view, uninstall.put()) !=
      ERROR_SUCCESS) {
    return;
  }
  wchar_t name[kKeyNameCapacity] = {};
  for (DWORD index = 0;; ++index) {
    DWORD length = kKeyNameCapacity;
    if (RegEnumKeyExW(uninstall.get(), index, name, &length, /*lpReserved=*/nullptr, /*lpClass=*/nullptr,
                      /*lpcchClass=*/nullptr, /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
      return;
    }
    const std::wstring_view keyName(name, length);
    UniqueKey entry;
    if (!IsBracedGuid(keyName) || RegOpenKeyExW(uninstall.get(), name, /*ulOptions=*/0, KEY_QUERY_VALUE | view,
                                             entry.put()) != ERROR_SUCCESS) {
      continue;
    }
    DWORD claims = 0;
    DWORD size = sizeof(claims);
    if (RegGetValueW(entry.get(), /*lpSubKey=*/nullptr, L"WindowsInstaller", RRF_RT_REG_DWORD, /*pdwType=*/nullptr,
                     &claims, &size) != ERROR_SUCCESS ||
        claims != kClaimsInstaller) {
      continue;
    }
    entries.push_back({CanonicalGuid(keyName), view == KEY_WOW64_64KEY, ReadRegistryText(entry.get(), L"DisplayName"),
                       ReadRegistryText(entry.get(), L"DisplayVersion")});
  }
}

}  // namespace

std::vector<InstallerEntry> ReadInstallerEntries() {
  std::vector<InstallerEntry> entries;
  ReadView(KEY_WOW64_32KEY, entries);
  ReadView(KEY_WOW64_64KEY, entries);
  return entries;
}

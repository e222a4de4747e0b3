#include "registry/UserInstallRecords.h"

#include <windows.h>

#include <optional>

#include "common/UniqueHandle.h"
#include "registry/RegistryText.h"
#include "registry/PackedGuid.h"

namespace {

constexpr const wchar_t* kUserData = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
constexpr DWORD kKeyNameCapacity = 256;  // the longest key name and its end

// A REG_SZ value of the record; empty when it is missing, of another type or unreadable.

}  // namespace

std::vector<UserInstallRecord> ReadUserInstallRecords(std::wstring_view productCode) {
  std::vector<UserInstallRecord> records;
  const std::optional<std::wstring> packed = PackGuid(productCode);
  UniqueKey userData;
  if (!packed || RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUserData, /*ulOptions=*/0, KEY_READ | KEY_WOW64_64KEY,
                               userData.put()) != ERROR_SUCCESS) {
    return records;
  }
  wchar_t sid[kKeyNameCapacity] = {};
  for (DWORD index = 0;; ++index) {
    DWORD length = kKeyNameCapacity;
    if (RegEnumKeyExW(userData.get(), index, sid, &length, /*lpReserved=*/nullptr, /*lpClass=*/nullptr,
                      /*lpcchClass=*/nullptr, /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
      return records;
    }
    UserInstallRecord record;
    record.userSid.assign(sid, length);
    const std::wstring properties = record.userSid + L"\\Products\\" + *packed + L"\\InstallProperties";
    UniqueKey key;
    const LSTATUS status = RegOpenKeyExW(userData.get(), properties.c_str(), /*ulOptions=*/0,
                                         KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put());
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) {
      continue;  // not this user's product
    }
    // A key that refuses opening is there all the same: the user installed the product.
    record.error = status;
    if (status == ERROR_SUCCESS) {
      record.displayName = ReadRegistryText(key.get(), L"DisplayName");
      record.displayVersion = ReadRegistryText(key.get(), L"DisplayVersion");
    }
    records.push_back(std::move(record));
  }
}

#include "registry/UserInstallRecords.h"

#include <windows.h>

#include <optional>

#include "common/UniqueHandle.h"
#include "registry/PackedGuid.h"

namespace {

constexpr const wchar_t* kUserData = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
constexpr DWORD kKeyNameCapacity = 256;  // the longest key name and its end

// A REG_SZ value of the record; empty when it is missing, of another type or unreadable.
std::wstring ReadText(HKEY key, const wchar_t* name) {
  DWORD size = 0;
  if (RegGetValueW(key, /*lpSubKey=*/nullptr, name, RRF_RT_REG_SZ, /*pdwType=*/nullptr, /*pvData=*/nullptr,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(key, /*lpSubKey=*/nullptr, name, RRF_RT_REG_SZ, /*pdwType=*/nullptr, text.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}

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
      record.displayName = ReadText(key.get(), L"DisplayName");
      record.displayVersion = ReadText(key.get(), L"DisplayVersion");
    }
    records.push_back(std::move(record));
  }
}

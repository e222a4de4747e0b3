#include "registry/InstallerRecord.h"

#include <windows.h>

#include <optional>
#include <string>

#include "common/UniqueHandle.h"
#include "registry/PackedGuid.h"

namespace {

constexpr const wchar_t* kUserData = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
constexpr DWORD kKeyNameCapacity = 256;  // the longest key name and its end

// Keeps the first error that is more than "not this user's product", while nothing was read.
void Unreadable(RecordedHiding& recorded, LSTATUS status) {
  if (recorded.answer == RecordedHiding::Answer::kUnreadable && status != ERROR_FILE_NOT_FOUND &&
      recorded.error == ERROR_FILE_NOT_FOUND) {
    recorded.error = status;
  }
}

}  // namespace

RecordedHiding ReadRecordedHiding(std::wstring_view productCode) {
  RecordedHiding recorded{RecordedHiding::Answer::kUnreadable, ERROR_FILE_NOT_FOUND};
  const std::optional<std::wstring> packed = PackGuid(productCode);
  UniqueKey userData;
  if (!packed) {
    recorded.error = ERROR_INVALID_NAME;
    return recorded;
  }
  const LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUserData, /*ulOptions=*/0,
                                       KEY_READ | KEY_WOW64_64KEY, userData.put());
  if (opened != ERROR_SUCCESS) {
    recorded.error = opened;
    return recorded;
  }
  wchar_t sid[kKeyNameCapacity] = {};
  for (DWORD index = 0;; ++index) {
    DWORD length = kKeyNameCapacity;
    if (RegEnumKeyExW(userData.get(), index, sid, &length, /*lpReserved=*/nullptr, /*lpClass=*/nullptr,
                      /*lpcchClass=*/nullptr, /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
      return recorded;
    }
    const std::wstring properties = std::wstring(sid, length) + L"\\Products\\" + *packed + L"\\InstallProperties";
    UniqueKey key;
    const LSTATUS status = RegOpenKeyExW(userData.get(), properties.c_str(), /*ulOptions=*/0,
                                         KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put());
    if (status != ERROR_SUCCESS) {
      // Not this user's product; a registration that refuses reading is remembered as the reason.
      Unreadable(recorded, status);
      continue;
    }
    DWORD systemComponent = 0;
    DWORD type = 0;
    DWORD size = sizeof(systemComponent);
    const LSTATUS query = RegQueryValueExW(key.get(), L"SystemComponent", /*lpReserved=*/nullptr, &type,
                                           reinterpret_cast<BYTE*>(&systemComponent), &size);
    if (query == ERROR_SUCCESS && type == REG_DWORD && systemComponent != 0) {
      return {RecordedHiding::Answer::kHides, ERROR_SUCCESS};
    }
    // A value of another type (more data than a DWORD too) hides nothing, as for Programs and
    // Features; one that cannot be read leaves the question open.
    if (query == ERROR_SUCCESS || query == ERROR_FILE_NOT_FOUND || query == ERROR_MORE_DATA) {
      recorded = {RecordedHiding::Answer::kDoesNotHide, ERROR_SUCCESS};
    } else {
      Unreadable(recorded, query);
    }
  }
}

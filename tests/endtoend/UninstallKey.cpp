#include "endtoend/UninstallKey.h"

#include <cstring>
#include <iomanip>
#include <utility>

#include "common/UniqueHandle.h"
#include "support/ScratchKey.h"
#include "support/UninstallEntries.h"

namespace {

// Value names are at most 16383 characters; the data of an uninstall entry is far below this.
constexpr DWORD kNameCapacity = 16384;
constexpr DWORD kDataCapacity = 65536;

[[nodiscard]] bool OpenUninstallKey(const std::wstring& productCode, View view, UniqueKey& key) {
  const std::wstring path = UninstallEntries::KeyPath(productCode);
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), /*ulOptions=*/0,
                       KEY_QUERY_VALUE | static_cast<REGSAM>(view), key.put()) == ERROR_SUCCESS;
}

}  // namespace

void PrintTo(const RegistryValue& value, std::ostream* stream) {
  if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ) && value.data.size() % sizeof(wchar_t) == 0) {
    *stream << (value.type == REG_SZ ? "REG_SZ \"" : "REG_EXPAND_SZ \"");
    // The test packages write ASCII only; anything else shows as '?'.
    for (std::size_t index = 0; index + 1 < value.data.size(); index += sizeof(wchar_t)) {
      const unsigned character = value.data[index] | value.data[index + 1] << 8;
      if (character != 0) *stream << (character < 0x80 ? static_cast<char>(character) : '?');
    }
    *stream << '"';
  } else if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
    DWORD data = 0;
    std::memcpy(&data, value.data.data(), sizeof data);
    *stream << "REG_DWORD " << data;
  } else {
    *stream << "type " << value.type << ',';
    for (BYTE byte : value.data) *stream << ' ' << std::hex << std::setw(2) << std::setfill('0') << int{byte};
    *stream << std::dec;
  }
}

const char* ViewName(View view) { return view == View::k32 ? "32-bit view" : "64-bit view"; }

bool ReadUninstallKey(const std::wstring& productCode, View view, RegistryValues& values) {
  UniqueKey key;
  if (!OpenUninstallKey(productCode, view, key)) return false;
  RegistryValues read;
  std::vector<wchar_t> name(kNameCapacity);
  std::vector<BYTE> data(kDataCapacity);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kNameCapacity;
    DWORD dataSize = kDataCapacity;
    DWORD type = REG_NONE;
    const LSTATUS status = RegEnumValueW(key.get(), index, name.data(), &nameLength, /*lpReserved=*/nullptr,
                                         &type, data.data(), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return false;
    read[std::wstring(name.data(), nameLength)] = RegistryValue{type, {data.begin(), data.begin() + dataSize}};
  }
  values = std::move(read);
  return true;
}

bool UninstallKeyExists(const std::wstring& productCode, View view) {
  return KeyExists(HKEY_LOCAL_MACHINE, UninstallEntries::KeyPath(productCode), static_cast<REGSAM>(view));
}

RegistryValue DwordValue(DWORD data) {
  const auto* bytes = reinterpret_cast<const BYTE*>(&data);
  return RegistryValue{REG_DWORD, {bytes, bytes + sizeof data}};
}

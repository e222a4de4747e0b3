#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <iomanip>
#include <utility>

#include "common/UniqueHandle.h"

namespace {

// Value names are at most 16383 characters; the values the tests read are far below 64 KiB.
constexpr DWORD kNameCapacity = 16384;
constexpr DWORD kDataCapacity = 65536;

UniqueKey OpenKey(HKEY root, const std::wstring& path, REGSAM access, View view) {
  UniqueKey key;
  static_cast<void>(RegOpenKeyExW(root, path.c_str(), /*ulOptions=*/0, access | static_cast<REGSAM>(view),
                                  key.put()));
  return key;
}

UniqueKey CreateKey(HKEY root, const std::wstring& path, View view) {
  UniqueKey key;
  static_cast<void>(RegCreateKeyExW(root, path.c_str(), /*Reserved=*/0, /*lpClass=*/nullptr, /*dwOptions=*/0,
                                    KEY_ALL_ACCESS | static_cast<REGSAM>(view), /*lpSecurityAttributes=*/nullptr,
                                    key.put(), /*lpdwDisposition=*/nullptr));
  return key;
}

std::wstring RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
  return L"HKEY_USERS";
}

}  // namespace

const char* ViewName(View view) {
  return view == View::k32 ? "32-bit view" : view == View::k64 ? "64-bit view" : "default view";
}

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

RegistryValue DwordValue(DWORD data) {
  const auto* bytes = reinterpret_cast<const BYTE*>(&data);
  return RegistryValue{REG_DWORD, {bytes, bytes + sizeof data}};
}

bool ReadValues(HKEY root, const std::wstring& path, View view, RegistryValues& values) {
  const UniqueKey key = OpenKey(root, path, KEY_QUERY_VALUE, view);
  if (!key) return false;
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

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const wchar_t* name, View view) {
  const UniqueKey key = OpenKey(root, path, KEY_READ, view);
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof(data);
  if (!key ||
      RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(data)) {
    return std::nullopt;
  }
  return data;
}

bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name, View view) {
  const UniqueKey key = OpenKey(root, path, KEY_READ, view);
  return key && RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& path, View view) {
  // Only the key's own security asked for, so that a key that refuses reading its values counts.
  return static_cast<bool>(OpenKey(root, path, READ_CONTROL, view));
}

bool WriteString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text, View view) {
  const UniqueKey key = CreateKey(root, path, view);
  return key && RegSetValueExW(key.get(), name, /*Reserved=*/0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteValue(HKEY root, const std::wstring& path, View view, const std::wstring& name, const RegistryValue& value) {
  const UniqueKey key = CreateKey(root, path, view);
  return key && RegSetValueExW(key.get(), name.c_str(), /*Reserved=*/0, value.type, value.data.data(),
                               static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

bool SetKeyAccess(HKEY root, const std::wstring& path, View view, const wchar_t* sddl) {
  const UniqueKey key = OpenKey(root, path, WRITE_DAC, view);
  UniqueSecurityDescriptor descriptor;
  return key &&
         ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.put(), nullptr) &&
         RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()) == ERROR_SUCCESS;
}

void DeleteKeyTree(HKEY root, const std::wstring& path, View view) {
  UniqueKey key = OpenKey(root, path, KEY_ALL_ACCESS, view);
  if (!key && SetKeyAccess(root, path, view, L"D:P(A;;KA;;;WD)")) key = OpenKey(root, path, KEY_ALL_ACCESS, view);
  if (!key) return;
  RegDeleteTreeW(key.get(), /*lpSubKey=*/nullptr);
  RegDeleteKeyExW(root, path.c_str(), static_cast<REGSAM>(view), /*Reserved=*/0);
}

ScratchKey::ScratchKey(HKEY root) : root_(root) {
  static int next = 0;
  path_ = L"Software\\msitool-tests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++next);
  EXPECT_TRUE(CreateKey(root_, path_, View::kDefault)) << "cannot create the scratch key";
}

std::wstring ScratchKey::Spec(std::wstring_view rest) const {
  return RootName(root_) + L"\\" + path_ + std::wstring(rest);
}

std::wstring NewProductCode() {
  static int next = 0;
  // A GUID, so that the installer's registration can name it by its packed code; the process and a
  // counter keep it apart from every other test's and every real product's.
  wchar_t code[39] = {};
  swprintf(code, 39, L"{%08lX-%04X-4D53-8000-000000000000}", GetCurrentProcessId(), ++next & 0xFFFF);
  return code;
}

std::wstring UninstallPath(const std::wstring& productCode) {
  return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
}

std::optional<DWORD> SystemComponent(const std::wstring& productCode, View view) {
  return ReadDword(HKEY_LOCAL_MACHINE, UninstallPath(productCode), L"SystemComponent", view);
}

UninstallEntries::~UninstallEntries() {
  for (const auto& [productCode, view] : added_) DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallPath(productCode), view);
}

bool UninstallEntries::Add(const std::wstring& productCode, View view, const wchar_t* displayName) {
  added_.emplace_back(productCode, view);
  // Publisher is only there so that a key without DisplayName still exists.
  const std::wstring path = UninstallPath(productCode);
  return WriteString(HKEY_LOCAL_MACHINE, path, L"Publisher", L"msitool tests", view) &&
         (displayName == nullptr || WriteString(HKEY_LOCAL_MACHINE, path, L"DisplayName", displayName, view));
}

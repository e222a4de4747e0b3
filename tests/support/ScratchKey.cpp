#include "support/ScratchKey.h"

#include <gtest/gtest.h>

#include "common/UniqueHandle.h"

namespace {

UniqueKey OpenKey(HKEY root, const std::wstring& path, REGSAM access) {
  UniqueKey key;
  RegOpenKeyExW(root, path.c_str(), /*options=*/0, access, key.put());
  return key;
}

}  // namespace

ScratchKey::ScratchKey(HKEY root, REGSAM view) : root_(root), view_(view) {
  static int next = 0;
  path_ = L"Software\\msitool-tests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++next);
  UniqueKey key;
  const LSTATUS status =
      RegCreateKeyExW(root_, path_.c_str(), /*reserved=*/0, /*keyClass=*/nullptr, /*options=*/0,
                      KEY_ALL_ACCESS | view_, /*securityAttributes=*/nullptr, key.put(), nullptr);
  EXPECT_EQ(status, ERROR_SUCCESS) << "cannot create the scratch key";
}

ScratchKey::~ScratchKey() { DeleteKeyTree(root_, path_, view_); }

std::wstring ScratchKey::Spec(std::wstring_view rest) const {
  return RootName(root_) + L"\\" + path_ + std::wstring(rest);
}

std::wstring RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
  return L"HKEY_USERS";
}

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const wchar_t* name,
                               REGSAM view) {
  const UniqueKey key = OpenKey(root, path, KEY_READ | view);
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof(data);
  if (!key || RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                               &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(data)) {
    return std::nullopt;
  }
  return data;
}

bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
  const UniqueKey key = OpenKey(root, path, KEY_READ | view);
  return key && RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  return static_cast<bool>(OpenKey(root, path, KEY_READ | view));
}

bool WriteString(HKEY root, const std::wstring& path, const wchar_t* name,
                 const std::wstring& text, REGSAM view) {
  UniqueKey key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view) {
  const UniqueKey key = OpenKey(root, path, KEY_ALL_ACCESS | view);
  if (!key) {
    return;
  }
  RegDeleteTreeW(key.get(), /*subKey=*/nullptr);
  RegDeleteKeyExW(root, path.c_str(), view, /*reserved=*/0);
}

DWORD ProcessHandleCount() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

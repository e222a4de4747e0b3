#include "support/WindowsXpOverride.h"

#include <windows.h>

#include "common/UniqueHandle.h"

namespace {

constexpr wchar_t kVersionName[] = L"Version";
constexpr wchar_t kWindowsXp[] = L"winxp";

}  // namespace

WindowsXpOverride::WindowsXpOverride(std::wstring programName)
    : programKey_(L"Software\\Wine\\AppDefaults\\" + programName) {}

bool WindowsXpOverride::Apply() {
  UniqueKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, programKey_.c_str(), /*Reserved=*/0, /*lpClass=*/nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, /*lpSecurityAttributes=*/nullptr,
                      key.put(), &disposition) != ERROR_SUCCESS) {
    return false;
  }
  applied_ = true;
  createdKey_ = disposition == REG_CREATED_NEW_KEY;
  if (RegSetValueExW(key.get(), kVersionName, /*Reserved=*/0, REG_SZ,
                     reinterpret_cast<const BYTE*>(kWindowsXp), sizeof kWindowsXp) != ERROR_SUCCESS) {
    key.reset();
    Remove();
    return false;
  }
  return true;
}

void WindowsXpOverride::Remove() {
  if (!applied_) return;
  applied_ = false;
  if (createdKey_) {
    RegDeleteKeyW(HKEY_CURRENT_USER, programKey_.c_str());
    return;
  }
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, programKey_.c_str(), /*ulOptions=*/0, KEY_SET_VALUE,
                    key.put()) == ERROR_SUCCESS) {
    RegDeleteValueW(key.get(), kVersionName);
  }
}

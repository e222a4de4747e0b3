#include "support/UninstallEntries.h"

#include "support/ScratchKey.h"

UninstallEntries::~UninstallEntries() {
  for (const auto& [productCode, view] : added_) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, KeyPath(productCode), view);
  }
}

bool UninstallEntries::Add(const std::wstring& productCode, REGSAM view,
                           const wchar_t* displayName) {
  added_.emplace_back(productCode, view);
  // Publisher is only there so that a key without DisplayName still exists.
  return WriteString(HKEY_LOCAL_MACHINE, KeyPath(productCode), L"Publisher", L"msitool tests",
                     view) &&
         (displayName == nullptr ||
          WriteString(HKEY_LOCAL_MACHINE, KeyPath(productCode), L"DisplayName", displayName, view));
}

std::wstring UninstallEntries::KeyPath(const std::wstring& productCode) {
  return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
}

std::optional<DWORD> UninstallEntries::SystemComponent(const std::wstring& productCode,
                                                       REGSAM view) {
  return ReadDword(HKEY_LOCAL_MACHINE, KeyPath(productCode), L"SystemComponent", view);
}

#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Uninstall entries made by hand under HKLM in either registry view, removed when the object goes.
class UninstallEntries {
 public:
  UninstallEntries() = default;
  UninstallEntries(const UninstallEntries&) = delete;
  UninstallEntries& operator=(const UninstallEntries&) = delete;
  ~UninstallEntries();

  // Creates the product's key in the view (KEY_WOW64_32KEY or KEY_WOW64_64KEY), with a
  // DisplayName unless displayName is null. False when the registry refuses.
  bool Add(const std::wstring& productCode, REGSAM view, const wchar_t* displayName);

  // The key's path below HKLM.
  static std::wstring KeyPath(const std::wstring& productCode);

  // SystemComponent of the product's key in the view, if it is a REG_DWORD.
  static std::optional<DWORD> SystemComponent(const std::wstring& productCode, REGSAM view);

 private:
  std::vector<std::pair<std::wstring, REGSAM>> added_;
};

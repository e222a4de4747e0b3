#pragma once

#include <string>
#include <vector>

// The uninstall entries that claim Windows Installer: keys of
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall named by a braced GUID, with
// WindowsInstaller = 1 (a REG_DWORD), in either registry view. Programs and Features removes such
// an entry through the installer, by its key's name. Reads only.
struct InstallerEntry {
  std::wstring productCode;     // the key's name, upper case
  bool view64 = false;          // the 64-bit view's; else the 32-bit view's
  std::wstring displayName;     // "DisplayName"; empty when missing or not text
  std::wstring displayVersion;  // "DisplayVersion"; likewise
};

// Every such entry of the 32-bit view, then the 64-bit view, each in the registry's order; a view
// whose key cannot be read adds none.
[[nodiscard]] std::vector<InstallerEntry> ReadInstallerEntries();

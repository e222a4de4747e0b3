#pragma once

#include <string_view>

// How many entries the installer's registration holds where its enumerations read, so that an
// enumeration can tell an end the installer never gave. Each counts every key Windows or Wine may
// read; a key that is missing or cannot be read adds nothing. Reads only.

// The values of upgradeCode's UpgradeCodes keys: per machine under HKLM\SOFTWARE\Classes\Installer
// (Windows) and HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer (Wine), both in the 64-bit
// view; per-user managed under that key's Managed\<SID>\Installer for every SID; and the user's own
// under HKCU\Software\Microsoft\Installer. 0 for text that is no braced GUID.
[[nodiscard]] unsigned long UpgradeCodeValueCount(std::wstring_view upgradeCode);

// The subkeys of every Products key MsiEnumProductsW may read: HKLM\SOFTWARE\Classes\Installer,
// the Managed\<SID>\Installer key of every SID, every loaded user's Software\Microsoft\Installer
// under HKEY_USERS, and the current user's.
[[nodiscard]] unsigned long ProductKeyCount();

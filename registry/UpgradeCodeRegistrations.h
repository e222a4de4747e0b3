#pragma once

#include <string>
#include <string_view>
#include <vector>

// The upgrade codes the installer has registered, read from its own registration: per machine
// (HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes, 64-bit view) and for the
// running user (HKCU\Software\Microsoft\Installer\UpgradeCodes). Each key is named by a packed
// upgrade code and holds one value per member, named by its packed product code. Reads only.
struct UpgradeCodeRegistrations {
  std::vector<std::wstring> upgradeCodes;  // braced, upper case, sorted, each once
  unsigned skippedKeys = 0;                // keys whose name is not a packed GUID
  unsigned skippedValues = 0;              // values whose name is not a packed GUID
};

// What both keys hold; a key that is missing or cannot be read adds nothing.
[[nodiscard]] UpgradeCodeRegistrations ReadUpgradeCodeRegistrations();

// The members the machine's key registers for one upgrade code, whoever installed them (Windows
// writes it for every context): braced, upper case, in the registry's order; a value whose name is
// not a packed GUID is left out. None when the key is missing or cannot be read.
[[nodiscard]] std::vector<std::wstring> ReadRegisteredMembers(std::wstring_view upgradeCode);

#pragma once

#include <string>
#include <string_view>
#include <vector>

// The installer's own record of a product for each user who installed it: the InstallProperties key
// of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UserData\<SID>\Products\<packed code>,
// 64-bit view. S-1-5-18 holds the per-machine installs, a user's SID that user's per-user ones;
// it is in HKLM, so it can be read while that user's own hive is not loaded. Reads only.
struct UserInstallRecord {
  std::wstring userSid;         // as the key is named
  std::wstring displayName;     // "DisplayName"; empty when missing or unreadable
  std::wstring displayVersion;  // "DisplayVersion"; empty when missing or unreadable
  long error = 0;               // the registry's error when the key is there but refused opening
};

// Every SID's record of the product, in the order the registry lists the SIDs; none when the
// product code is no GUID or UserData cannot be opened.
[[nodiscard]] std::vector<UserInstallRecord> ReadUserInstallRecords(std::wstring_view productCode);

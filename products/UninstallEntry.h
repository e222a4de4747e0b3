#pragma once

#include <string>
#include <string_view>

// The value-spec path of a product's key in the list of installed programs:
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{product code}.
std::wstring UninstallKeyPath(std::wstring_view productCode);

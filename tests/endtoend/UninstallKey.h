#pragma once

#include <windows.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

// One registry value as stored: its type and its raw data.
struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  bool operator==(const RegistryValue& other) const { return type == other.type && data == other.data; }
};
void PrintTo(const RegistryValue& value, std::ostream* stream);

// Every value of a key, by name.
using RegistryValues = std::map<std::wstring, RegistryValue>;

// The registry views that a 32-bit program reaches on a 64-bit system.
enum class View { k32 = KEY_WOW64_32KEY, k64 = KEY_WOW64_64KEY };
const char* ViewName(View view);

// Reads every value of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<productCode> in view.
// Returns false, leaving values untouched, when the key is absent or cannot be read.
[[nodiscard]] bool ReadUninstallKey(const std::wstring& productCode, View view, RegistryValues& values);

// Whether that key exists in view.
[[nodiscard]] bool UninstallKeyExists(const std::wstring& productCode, View view);

// A REG_DWORD value with the given data.
RegistryValue DwordValue(DWORD data);

#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// The registry views: the caller's own, or one of the two that a 32-bit program reaches on a 64-bit
// system.
enum class View : REGSAM { kDefault = 0, k32 = KEY_WOW64_32KEY, k64 = KEY_WOW64_64KEY };
const char* ViewName(View view);

// One registry value as stored: its type and its raw data.
struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  bool operator==(const RegistryValue& other) const { return type == other.type && data == other.data; }
};
void PrintTo(const RegistryValue& value, std::ostream* stream);
RegistryValue DwordValue(DWORD data);

// Every value of a key, by name.
using RegistryValues = std::map<std::wstring, RegistryValue>;

// Reads every value of root\path in view; false, leaving values untouched, when the key cannot be read.
[[nodiscard]] bool ReadValues(HKEY root, const std::wstring& path, View view, RegistryValues& values);

// A REG_DWORD; nullopt when the key or value is missing or has another type.
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const wchar_t* name,
                               View view = View::kDefault);
bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name, View view = View::kDefault);
bool KeyExists(HKEY root, const std::wstring& path, View view = View::kDefault);

// Creates the key if needed and writes a REG_SZ value; false when the registry refuses.
bool WriteString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text,
                 View view = View::kDefault);

// Creates the key if needed and writes the value as it is given; false when the registry refuses.
bool WriteValue(HKEY root, const std::wstring& path, View view, const std::wstring& name, const RegistryValue& value);

// Replaces the key's access list with the one the SDDL text gives; false when that fails.
bool SetKeyAccess(HKEY root, const std::wstring& path, View view, const wchar_t* sddl);

// Deletes the key and everything under it, giving a locked-down key back to everyone first; a
// missing key is fine.
void DeleteKeyTree(HKEY root, const std::wstring& path, View view = View::kDefault);

// A registry key that exists for one test: created under root with a unique name below
// Software\msitool-tests, deleted with everything under it when the test ends.
class ScratchKey {
 public:
  explicit ScratchKey(HKEY root);
  ~ScratchKey() { DeleteKeyTree(root_, path_); }
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  // The key's path below its root, e.g. Software\msitool-tests\7.
  const std::wstring& path() const { return path_; }

  // A value spec of the root's name and this key's path, followed by rest.
  std::wstring Spec(std::wstring_view rest) const;

 private:
  HKEY root_;
  std::wstring path_;
};

// A product code of the tests' own, a GUID new on every call, so that no installed product is touched.
std::wstring NewProductCode();

// The product's uninstall key below HKLM: SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<code>.
std::wstring UninstallPath(const std::wstring& productCode);

// SystemComponent of the product's uninstall key in view, if it is a REG_DWORD.
std::optional<DWORD> SystemComponent(const std::wstring& productCode, View view);

// Uninstall entries made by hand under HKLM, removed when the object goes.
class UninstallEntries {
 public:
  UninstallEntries() = default;
  UninstallEntries(const UninstallEntries&) = delete;
  UninstallEntries& operator=(const UninstallEntries&) = delete;
  ~UninstallEntries();

  // Creates the product's key in view, with a DisplayName unless displayName is null; false when the
  // registry refuses.
  bool Add(const std::wstring& productCode, View view, const wchar_t* displayName);

 private:
  std::vector<std::pair<std::wstring, View>> added_;
};

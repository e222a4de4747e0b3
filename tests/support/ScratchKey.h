#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// A registry key that exists for one test: created under root (in the given view) with a unique
// name below Software\msitool-tests, deleted with everything under it when the test ends.
class ScratchKey {
 public:
  explicit ScratchKey(HKEY root, REGSAM view = 0);
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  // The key's path below its root, e.g. Software\msitool-tests\7.
  const std::wstring& path() const { return path_; }

  // A value spec that starts with the root's name and this key's path, followed by rest.
  std::wstring Spec(std::wstring_view rest) const;

 private:
  HKEY root_;
  REGSAM view_;
  std::wstring path_;
};

// The name a value spec uses for a predefined root key.
std::wstring RootName(HKEY root);

// Reads a REG_DWORD; nullopt when the key or value is missing or has another type.
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const wchar_t* name,
                               REGSAM view = 0);

// Whether the value exists, of any type.
bool ValueExists(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = 0);

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);

// Creates the key if needed and writes a REG_SZ value; false when the registry refuses.
bool WriteString(HKEY root, const std::wstring& path, const wchar_t* name,
                 const std::wstring& text, REGSAM view = 0);

// Deletes the key and everything under it in the given view; missing keys are fine.
void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view = 0);

// How many handles the process holds, for leak checks.
DWORD ProcessHandleCount();

#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

// A value spec names a registry value, and optionally its data, in one line of text:
//   ROOT\SUBKEY\\NAME[|DATA]   or, for a value directly under the root,   ROOT\\NAME[|DATA]
// ROOT is one of the predefined key names, any case; two backslashes end the key path; a bar
// starts the data. Trailing spaces are cut from the data when there is a bar, else from the name.
struct ParsedValueSpec {
  HKEY rootKey = nullptr;
  std::wstring_view keyPath;  // empty when the value lives directly under the root key
  std::wstring_view valueName;
  std::optional<std::wstring_view> data;  // absent without a bar
};

// The parts of spec, which they point into; nullopt when the root is unknown or no double
// backslash ends the key path.
[[nodiscard]] std::optional<ParsedValueSpec> ParseValueSpec(std::wstring_view spec) noexcept;

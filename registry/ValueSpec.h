#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "registry/RegistryKey.h"

// Results of the value-spec operations.
enum class ValueSpecResult : int {
  kSuccess = 0,
  kKeyNotOpened = 1,     // the key could not be opened or created
  kRegistryRefused = 2,  // the registry refused the query, write or delete
  kBufferTooSmall = 3,   // the value does not fit the reader's buffer
  kMalformed = 4,        // malformed spec, unknown root, or no data to write
  kNoMemory = 100,
};

// What OpenValueSpec hands to its caller.
struct OpenedValueSpec {
  RegistryKey key;
  std::wstring valueName;
  std::optional<std::wstring> data;  // absent when the value spec has no bar
};

// Opens the key a spec names (see ValueSpecFormat.h): for reading with KEY_READ, or created for
// writing with KEY_ALL_ACCESS, viewAccess added (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY; it plays
// no part for a value directly under a root key). On failure opened is left untouched, and after
// kKeyNotOpened GetLastError() gives the registry's error number.
[[nodiscard]] ValueSpecResult OpenValueSpec(std::wstring_view spec, bool create, REGSAM viewAccess,
                                            OpenedValueSpec& opened) noexcept;

// View flags for SetValueSpec; with both set, the 64-bit view wins.
constexpr unsigned kViewFlag32 = 1;
constexpr unsigned kViewFlag64 = 2;

// Writes a value spec's data as a REG_DWORD (by string-to-long rules, saturating), or deletes the
// value when the data is empty. A spec without data is malformed and touches nothing. After
// kKeyNotOpened or kRegistryRefused GetLastError() gives the registry's error number.
[[nodiscard]] ValueSpecResult SetValueSpec(std::wstring_view spec, unsigned viewFlags) noexcept;

// As SetValueSpec, but into a key that exists: it is opened with KEY_SET_VALUE and the view, never
// created, so a missing key or one that refuses setting values gives kKeyNotOpened.
[[nodiscard]] ValueSpecResult SetValueSpecInExistingKey(std::wstring_view spec,
                                                        unsigned viewFlags) noexcept;

#pragma once

#include <optional>
#include <string>
#include <string_view>

// The installer's registration names a product or an upgrade code by its packed GUID: the 32 hex
// digits with those of the first three groups each reversed, and the two digits of every byte of
// the last two groups swapped. {4B1D7E92-3A5C-4E81-B07F-6C2D9A18E35B} is packed as
// 29E7D1B4C5A318E40BF7C6D2A9813EB5.

// The braced GUID, upper case, of a packed one (hex digits of either case); nullopt for anything
// that is not exactly 32 hex digits.
[[nodiscard]] std::optional<std::wstring> UnpackGuid(std::wstring_view packed);

// The packed form, upper case, of a GUID in braces; nullopt for anything that is not one.
[[nodiscard]] std::optional<std::wstring> PackGuid(std::wstring_view guid);

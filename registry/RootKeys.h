#pragma once

#include <windows.h>

#include <string_view>

// The predefined key for a root name such as "HKEY_LOCAL_MACHINE", any case of A to Z;
// nullptr for a name that is not in the tool's table.
HKEY FindRootKey(std::wstring_view name) noexcept;

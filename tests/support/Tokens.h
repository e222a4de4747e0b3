#pragma once

#include <windows.h>

#include "common/UniqueHandle.h"

// What AdministratorsAttributes answers for a token that does not list the group.
constexpr DWORD kNotInToken = 0xFFFFFFFF;

// A primary token of this process in which Administrators is a deny-only group, as in a token that has
// not been elevated; empty when the platform refuses one.
[[nodiscard]] UniqueToken MakeTokenWithoutAdministrators() noexcept;

// The attributes of the Administrators group in the token, kNotInToken when it is not there.
DWORD AdministratorsAttributes(HANDLE token);

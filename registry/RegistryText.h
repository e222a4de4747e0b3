#pragma once

#include <windows.h>

#include <string>

// A REG_SZ value of an open key, without the end the registry may or may not store; empty when the
// value is missing, of another type or unreadable.
[[nodiscard]] std::wstring ReadRegistryText(HKEY key, const wchar_t* name);

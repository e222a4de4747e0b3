#pragma once

#include <string>
#include <string_view>

// The value-spec path of a product's key in the list of installed programs:
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{product code}.
std::wstring UninstallKeyPath(std::wstring_view productCode);

// Called by Product::HideFromAddRemove and Product::ShowEntries between a view's probe and its
// write, with the view's access flag (KEY_WOW64_32KEY or KEY_WOW64_64KEY), so that a test can
// change the registry at that moment.
// None by default; returns the hook that was in place.
using HideProbeHook = void (*)(unsigned long viewAccess);
HideProbeHook SetHideProbeHookForTesting(HideProbeHook hook) noexcept;

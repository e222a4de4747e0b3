#include <windows.h>

#include "products/Product.h"
#include "products/UninstallEntry.h"
#include "registry/ValueSpec.h"

namespace {

constexpr std::wstring_view kUninstallRoot =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The probe reads DisplayName into this many bytes but offers the query only half of them, so a
// name of 1000 characters or more counts as too long.
constexpr DWORD kProbeBufferBytes = 4000;
constexpr DWORD kProbeQueryBytes = 2000;

struct RegistryView {
  REGSAM probeAccess;
  unsigned writeFlags;
};

// A product's key may live in either view of a 64-bit system, or in both: each is treated alone.
constexpr RegistryView kViews[] = {
    {KEY_WOW64_32KEY, kViewFlag32},
    {KEY_WOW64_64KEY, kViewFlag64},
};

HideProbeHook probeHook = nullptr;

ValueSpecResult ProbeValue(const std::wstring& spec, REGSAM viewAccess) {
  OpenedValueSpec opened;
  const ValueSpecResult status = OpenValueSpec(spec, /*create=*/false, viewAccess, opened);
  if (status != ValueSpecResult::kSuccess) {
    return status;
  }
  BYTE buffer[kProbeBufferBytes] = {};
  DWORD type = 0;
  DWORD size = kProbeQueryBytes;
  const LSTATUS query = RegQueryValueExW(opened.key.get(), opened.valueName.c_str(),
                                         /*reserved=*/nullptr, &type, buffer, &size);
  if (query == ERROR_SUCCESS) {
    return ValueSpecResult::kSuccess;
  }
  return query == ERROR_MORE_DATA ? ValueSpecResult::kBufferTooSmall
                                  : ValueSpecResult::kRegistryRefused;
}

}  // namespace

std::wstring UninstallKeyPath(std::wstring_view productCode) {
  std::wstring path(kUninstallRoot);
  path += productCode;
  return path;
}

bool Product::HideFromAddRemove() {
  const std::wstring keyPath = UninstallKeyPath(productCode_);
  const std::wstring probeSpec = keyPath + L"\\\\DisplayName";
  const std::wstring writeSpec = keyPath + L"\\\\SystemComponent|1";
  bool hidden = false;
  for (const RegistryView& view : kViews) {
    if (ProbeValue(probeSpec, view.probeAccess) != ValueSpecResult::kSuccess) {
      continue;
    }
    if (probeHook != nullptr) {
      probeHook(view.probeAccess);
    }
    // Into the key the probe found, never a new one: a key deleted since (an uninstall running at
    // the same time) stays deleted. Only setting values is asked, which a key may grant the
    // Administrators without full control.
    if (SetValueSpecInExistingKey(writeSpec, view.writeFlags) == ValueSpecResult::kSuccess) {
      hidden = true;
    }
  }
  return hidden;
}

HideProbeHook SetHideProbeHookForTesting(HideProbeHook hook) noexcept {
  const HideProbeHook previous = probeHook;
  probeHook = hook;
  return previous;
}

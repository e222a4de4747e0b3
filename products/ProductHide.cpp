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
  EntryView view;
  REGSAM probeAccess;
  unsigned writeFlags;
};

// A product's key may live in either view of a 64-bit system, or in both: each is treated alone.
constexpr RegistryView kViews[] = {
    {EntryView::k32, KEY_WOW64_32KEY, kViewFlag32},
    {EntryView::k64, KEY_WOW64_64KEY, kViewFlag64},
};

HideProbeHook probeHook = nullptr;

struct Probe {
  ValueSpecResult status;
  long error;  // the registry's error number when status is not kSuccess
};

// The registry's number for a value spec result that no registry call gave.
long ErrorOf(ValueSpecResult status) {
  return status == ValueSpecResult::kNoMemory ? ERROR_OUTOFMEMORY : ERROR_INVALID_NAME;
}

Probe ProbeValue(const std::wstring& spec, REGSAM viewAccess, DWORD* data = nullptr) {
  OpenedValueSpec opened;
  const ValueSpecResult status = OpenValueSpec(spec, /*create=*/false, viewAccess, opened);
  if (status == ValueSpecResult::kKeyNotOpened) {
    return {status, static_cast<long>(GetLastError())};
  }
  if (status != ValueSpecResult::kSuccess) {
    return {status, ErrorOf(status)};
  }
  BYTE buffer[kProbeBufferBytes] = {};
  DWORD type = 0;
  DWORD size = kProbeQueryBytes;
  const LSTATUS query = RegQueryValueExW(opened.key.get(), opened.valueName.c_str(),
                                         /*reserved=*/nullptr, &type, buffer, &size);
  if (query == ERROR_SUCCESS) {
    if (data != nullptr && type == REG_DWORD && size == sizeof(DWORD)) {
      CopyMemory(data, buffer, sizeof(DWORD));
    }
    return {ValueSpecResult::kSuccess, ERROR_SUCCESS};
  }
  return {query == ERROR_MORE_DATA ? ValueSpecResult::kBufferTooSmall
                                   : ValueSpecResult::kRegistryRefused,
          query};
}

// A key or a DisplayName that is not there is no entry; any other failure hides a listed one.
bool IsAbsence(const Probe& probe) { return probe.error == ERROR_FILE_NOT_FOUND; }

ViewHideOutcome HideInView(const std::wstring& probeSpec, const std::wstring& writeSpec,
                           const RegistryView& view) {
  const Probe probe = ProbeValue(probeSpec, view.probeAccess);
  if (probe.status != ValueSpecResult::kSuccess) {
    if (IsAbsence(probe)) {
      return {ViewHideOutcome::State::kNoEntry, ERROR_SUCCESS};
    }
    return {ViewHideOutcome::State::kNotHidden, probe.error};
  }
  if (probeHook != nullptr) {
    probeHook(view.probeAccess);
  }
  // Into the key the probe found, never a new one: a key deleted since (an uninstall running at the
  // same time) stays deleted. Only setting values is asked, which a key may grant the
  // Administrators without full control.
  const ValueSpecResult written = SetValueSpecInExistingKey(writeSpec, view.writeFlags);
  if (written == ValueSpecResult::kSuccess) {
    return {ViewHideOutcome::State::kHidden, ERROR_SUCCESS};
  }
  const bool fromRegistry = written == ValueSpecResult::kKeyNotOpened ||
                            written == ValueSpecResult::kRegistryRefused;
  return {ViewHideOutcome::State::kNotHidden,
          fromRegistry ? static_cast<long>(GetLastError()) : ErrorOf(written)};
}

// Where a view's entry stands before showing: a hidden entry is kKeptHidden until it is shown. An
// entry whose hiding cannot be read is kNotShown; a SystemComponent that is no DWORD hides nothing,
// as for Programs and Features.
ViewShowOutcome ShowProbe(const std::wstring& keyPath, const RegistryView& view) {
  using State = ViewShowOutcome::State;
  const Probe name = ProbeValue(keyPath + L"\\\\DisplayName", view.probeAccess);
  if (name.status != ValueSpecResult::kSuccess && name.status != ValueSpecResult::kBufferTooSmall) {
    return IsAbsence(name) ? ViewShowOutcome{State::kNoEntry, ERROR_SUCCESS}
                           : ViewShowOutcome{State::kNotShown, name.error};
  }
  DWORD systemComponent = 0;
  const Probe hiding = ProbeValue(keyPath + L"\\\\SystemComponent", view.probeAccess, &systemComponent);
  if (hiding.status != ValueSpecResult::kSuccess && hiding.status != ValueSpecResult::kBufferTooSmall &&
      !IsAbsence(hiding)) {
    return {State::kNotShown, hiding.error};
  }
  return {systemComponent != 0 ? State::kKeptHidden : State::kVisible, ERROR_SUCCESS};
}

ViewShowOutcome ShowInView(const std::wstring& keyPath, const RegistryView& view) {
  using State = ViewShowOutcome::State;
  if (probeHook != nullptr) {
    probeHook(view.probeAccess);
  }
  // An empty value deletes it, in the key that is there, never a new one.
  const ValueSpecResult deleted =
      SetValueSpecInExistingKey(keyPath + L"\\\\SystemComponent|", view.writeFlags);
  if (deleted == ValueSpecResult::kSuccess) {
    return {State::kShown, ERROR_SUCCESS};
  }
  const bool fromRegistry = deleted == ValueSpecResult::kKeyNotOpened ||
                            deleted == ValueSpecResult::kRegistryRefused;
  const long error = fromRegistry ? static_cast<long>(GetLastError()) : ErrorOf(deleted);
  // Gone since the probe: the key with the product (an uninstall meanwhile), or the value alone.
  if (error == ERROR_FILE_NOT_FOUND) {
    return {deleted == ValueSpecResult::kKeyNotOpened ? State::kNoEntry : State::kVisible, ERROR_SUCCESS};
  }
  return {State::kNotShown, error};
}

}  // namespace

std::wstring UninstallKeyPath(std::wstring_view productCode) {
  std::wstring path(kUninstallRoot);
  path += productCode;
  return path;
}

bool Product::HideFromAddRemove() { return HideEntries().AnyHidden(); }

HideOutcome Product::HideEntries() {
  const std::wstring keyPath = UninstallKeyPath(productCode_);
  const std::wstring probeSpec = keyPath + L"\\\\DisplayName";
  const std::wstring writeSpec = keyPath + L"\\\\SystemComponent|1";
  HideOutcome outcome;
  for (const RegistryView& view : kViews) {
    const ViewHideOutcome result = HideInView(probeSpec, writeSpec, view);
    (view.view == EntryView::k32 ? outcome.view32 : outcome.view64) = result;
  }
  return outcome;
}

ShowOutcome Product::ShowEntries() {
  const std::wstring keyPath = UninstallKeyPath(productCode_);
  ShowOutcome outcome;
  for (const RegistryView& view : kViews) {
    (view.view == EntryView::k32 ? outcome.view32 : outcome.view64) = ShowProbe(keyPath, view);
  }
  if (!outcome.Any(ViewShowOutcome::State::kKeptHidden)) {
    return outcome;
  }
  const SelfHiding self = AsksToBeHidden();
  if (self.answer != SelfHiding::Answer::kDoesNotAsk) {
    outcome.kept = self.answer == SelfHiding::Answer::kAsks ? ShowOutcome::Kept::kByPackage
                                                            : ShowOutcome::Kept::kCannotTell;
    outcome.recordError = self.recordError;
    outcome.packageError = self.packageError;
    return outcome;
  }
  for (const RegistryView& view : kViews) {
    ViewShowOutcome& result = view.view == EntryView::k32 ? outcome.view32 : outcome.view64;
    if (result.state == ViewShowOutcome::State::kKeptHidden) {
      result = ShowInView(keyPath, view);
    }
  }
  return outcome;
}

EntryState Product::EntryIn(EntryView entryView) const {
  const std::wstring keyPath = UninstallKeyPath(productCode_);
  for (const RegistryView& view : kViews) {
    if (view.view != entryView) {
      continue;
    }
    // A DisplayName too long for the hide probe is still listed.
    const ValueSpecResult displayName =
        ProbeValue(keyPath + L"\\\\DisplayName", view.probeAccess).status;
    if (displayName != ValueSpecResult::kSuccess &&
        displayName != ValueSpecResult::kBufferTooSmall) {
      return EntryState::kNone;
    }
    DWORD systemComponent = 0;
    static_cast<void>(
        ProbeValue(keyPath + L"\\\\SystemComponent", view.probeAccess, &systemComponent));
    return systemComponent != 0 ? EntryState::kHidden : EntryState::kVisible;
  }
  return EntryState::kNone;
}

HideProbeHook SetHideProbeHookForTesting(HideProbeHook hook) noexcept {
  const HideProbeHook previous = probeHook;
  probeHook = hook;
  return previous;
}

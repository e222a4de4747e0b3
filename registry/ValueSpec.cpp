#include "registry/ValueSpec.h"

#include <cwchar>
#include <new>

#include "registry/ValueSpecFormat.h"

namespace {

REGSAM ViewAccess(unsigned viewFlags) {
  if ((viewFlags & kViewFlag64) != 0) {
    return KEY_WOW64_64KEY;
  }
  return (viewFlags & kViewFlag32) != 0 ? KEY_WOW64_32KEY : 0;
}

enum class KeyAccess { kRead, kCreate, kSetExisting };

ValueSpecResult OpenParsedKey(const ParsedValueSpec& parsed, KeyAccess access, REGSAM viewAccess,
                              RegistryKey& key) {
  if (parsed.keyPath.empty()) {
    key = RegistryKey::Root(parsed.rootKey);
    return ValueSpecResult::kSuccess;
  }
  const std::wstring keyPath(parsed.keyPath);
  HKEY opened = nullptr;
  LSTATUS status;
  if (access == KeyAccess::kCreate) {
    status = RegCreateKeyExW(parsed.rootKey, keyPath.c_str(), /*reserved=*/0, /*keyClass=*/nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | viewAccess,
                             /*securityAttributes=*/nullptr, &opened, /*disposition=*/nullptr);
  } else {
    const REGSAM rights = access == KeyAccess::kRead ? KEY_READ : KEY_SET_VALUE;
    status = RegOpenKeyExW(parsed.rootKey, keyPath.c_str(), /*options=*/0, rights | viewAccess,
                           &opened);
  }
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return ValueSpecResult::kKeyNotOpened;
  }
  key = RegistryKey::Opened(opened);
  return ValueSpecResult::kSuccess;
}

ValueSpecResult WriteData(HKEY key, const std::wstring& valueName, std::wstring_view data) {
  LSTATUS status;
  if (data.empty()) {
    status = RegDeleteValueW(key, valueName.c_str());
  } else {
    const std::wstring text(data);
    // wcstol saturates at the limits of LONG, which is 32 bits on Windows.
    const DWORD number = static_cast<DWORD>(std::wcstol(text.c_str(), /*end=*/nullptr, /*base=*/10));
    status = RegSetValueExW(key, valueName.c_str(), /*reserved=*/0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&number), sizeof(number));
  }
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return ValueSpecResult::kRegistryRefused;
  }
  return ValueSpecResult::kSuccess;
}

}  // namespace

ValueSpecResult OpenValueSpec(std::wstring_view spec, bool create, REGSAM viewAccess,
                              OpenedValueSpec& opened) noexcept try {
  const std::optional<ParsedValueSpec> parsed = ParseValueSpec(spec);
  if (!parsed) {
    return ValueSpecResult::kMalformed;
  }
  OpenedValueSpec result;
  const ValueSpecResult status = OpenParsedKey(
      *parsed, create ? KeyAccess::kCreate : KeyAccess::kRead, viewAccess, result.key);
  if (status != ValueSpecResult::kSuccess) {
    return status;
  }
  result.valueName = parsed->valueName;
  if (parsed->data) {
    result.data = std::wstring(*parsed->data);
  }
  opened = std::move(result);
  return ValueSpecResult::kSuccess;
} catch (const std::bad_alloc&) {
  return ValueSpecResult::kNoMemory;
}

namespace {

ValueSpecResult WriteValueSpec(std::wstring_view spec, KeyAccess access, unsigned viewFlags) {
  const std::optional<ParsedValueSpec> parsed = ParseValueSpec(spec);
  // Checked before the key is opened, so that a spec without data leaves no new key behind.
  if (!parsed || !parsed->data) {
    return ValueSpecResult::kMalformed;
  }
  RegistryKey key;
  const ValueSpecResult opened = OpenParsedKey(*parsed, access, ViewAccess(viewFlags), key);
  if (opened != ValueSpecResult::kSuccess) {
    return opened;
  }
  const ValueSpecResult written = WriteData(key.get(), std::wstring(parsed->valueName), *parsed->data);
  if (!key.isRootKey()) {
    RegFlushKey(key.get());
  }
  return written;
}

}  // namespace

ValueSpecResult SetValueSpec(std::wstring_view spec, unsigned viewFlags) noexcept try {
  return WriteValueSpec(spec, KeyAccess::kCreate, viewFlags);
} catch (const std::bad_alloc&) {
  return ValueSpecResult::kNoMemory;
}

ValueSpecResult SetValueSpecInExistingKey(std::wstring_view spec, unsigned viewFlags) noexcept try {
  return WriteValueSpec(spec, KeyAccess::kSetExisting, viewFlags);
} catch (const std::bad_alloc&) {
  return ValueSpecResult::kNoMemory;
}

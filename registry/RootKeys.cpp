#include "registry/RootKeys.h"

#include "common/AsciiCase.h"

namespace {

struct RootKeyName {
  std::wstring_view name;
  HKEY key;
};

// The roots a value spec may start with, searched in this order.
const RootKeyName kRootKeys[] = {
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKEY_USERS", HKEY_USERS},
};

}  // namespace

HKEY FindRootKey(std::wstring_view name) noexcept {
  for (const RootKeyName& root : kRootKeys) {
    if (EqualsIgnoringAsciiCase(name, root.name)) {
      return root.key;
    }
  }
  return nullptr;
}

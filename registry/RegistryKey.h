#pragma once

#include <windows.h>

#include "common/UniqueHandle.h"

// An open registry key: a key that was opened or created is closed with the object, a predefined
// root key is only borrowed and never closed.
class RegistryKey {
 public:
  RegistryKey() noexcept = default;
  static RegistryKey Opened(HKEY key) noexcept { return RegistryKey(key, nullptr); }
  static RegistryKey Root(HKEY rootKey) noexcept { return RegistryKey(nullptr, rootKey); }

  HKEY get() const noexcept { return opened_ ? opened_.get() : root_; }
  bool isRootKey() const noexcept { return root_ != nullptr; }

 private:
  RegistryKey(HKEY opened, HKEY root) noexcept : opened_(opened), root_(root) {}

  UniqueKey opened_;
  HKEY root_ = nullptr;
};

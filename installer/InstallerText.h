#pragma once

#include <string>

#include "installer/InstallerCodes.h"

namespace installer {

// A text the installer writes into the caller's buffer, its length in characters both ways
// (MsiGetProductInfoW and its kin): read(value, length) is called with a buffer most names and
// versions fit, and once more at the length it gave when it answered "more data". Empty when the
// installer cannot give it.
template <typename Read>
std::wstring ReadText(Read read) {
  constexpr unsigned long kFirstBufferSize = 100;
  std::wstring value(kFirstBufferSize, L'\0');
  unsigned long size = kFirstBufferSize;
  unsigned result = read(value.data(), &size);
  if (result == kMoreData) {
    value.assign(size + 1, L'\0');
    size = size + 1;
    result = read(value.data(), &size);
  }
  if (result != kSuccess) {
    return {};
  }
  value.resize(size);
  return value;
}

}  // namespace installer

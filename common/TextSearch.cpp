#include "common/TextSearch.h"

#include <windows.h>

#include <string>

namespace {

// text in upper case by the invariant locale's linguistic rules; as it is when that fails.
std::wstring UpperCase(std::wstring_view text) {
  std::wstring upper(text);
  if (text.empty()) {
    return upper;
  }
  const int size = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING,
                                 text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 /*lpVersionInformation=*/nullptr, /*lpReserved=*/nullptr, /*sortHandle=*/0);
  if (size <= 0) {
    return upper;
  }
  upper.resize(static_cast<std::size_t>(size));
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, text.data(),
                    static_cast<int>(text.size()), upper.data(), size, nullptr, nullptr, 0) != size) {
    return std::wstring(text);
  }
  return upper;
}

}  // namespace

bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part) {
  return UpperCase(text).find(UpperCase(part)) != std::wstring::npos;
}

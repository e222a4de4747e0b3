#pragma once

#include <cstddef>
#include <string_view>

// The tool's case rule for switches, root names and product codes: only A to Z fold to lower case,
// every other character must match exactly, whatever the user's locale.
constexpr wchar_t FoldAsciiCase(wchar_t character) noexcept {
  return character >= L'A' && character <= L'Z' ? static_cast<wchar_t>(character - L'A' + L'a')
                                                : character;
}

constexpr bool EqualsIgnoringAsciiCase(std::wstring_view left, std::wstring_view right) noexcept {
  if (left.size() != right.size()) {
    return false;
  }
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (FoldAsciiCase(left[i]) != FoldAsciiCase(right[i])) {
      return false;
    }
  }
  return true;
}

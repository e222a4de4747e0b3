#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The text forms of a GUID, as command lines and the installer's registration write them.

// 0-9, a-f and A-F only: not the digits of other scripts.
constexpr bool IsHexDigit(wchar_t character) noexcept {
  return (character >= L'0' && character <= L'9') || (character >= L'a' && character <= L'f') ||
         (character >= L'A' && character <= L'F');
}

// True for a GUID in braces: 38 characters, {8-4-4-4-12} hex digits of either case.
constexpr bool IsBracedGuid(std::wstring_view text) noexcept {
  constexpr std::size_t kGuidLength = 38;
  if (text.size() != kGuidLength || text.front() != L'{' || text.back() != L'}') {
    return false;
  }
  for (std::size_t i = 1; i + 1 < kGuidLength; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != L'-' : !IsHexDigit(text[i])) {
      return false;
    }
  }
  return true;
}

// The one form the tool keeps a GUID in: braced, hex letters in upper case. The installer may answer
// a code in lower case (a registration written so), and sets, sorts and records compare codes as
// text. Text that is no braced GUID comes back as it is.
inline std::wstring CanonicalGuid(std::wstring_view text) {
  std::wstring canonical(text);
  if (IsBracedGuid(text)) {
    for (wchar_t& character : canonical) {
      if (character >= L'a' && character <= L'f') {
        character = static_cast<wchar_t>(character - L'a' + L'A');
      }
    }
  }
  return canonical;
}

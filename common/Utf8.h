#pragma once

#include <string>
#include <string_view>

// text as UTF-8; empty when it cannot be converted.
[[nodiscard]] std::string ToUtf8(std::wstring_view text);

// The halves of a UTF-16 surrogate pair; either one alone is no character.
constexpr bool IsHighSurrogate(wchar_t character) noexcept {
  return character >= 0xD800 && character <= 0xDBFF;
}
constexpr bool IsLowSurrogate(wchar_t character) noexcept {
  return character >= 0xDC00 && character <= 0xDFFF;
}

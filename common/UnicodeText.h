#pragma once

#include <string>

// What the tool's escaped text forms (the report's records, the JSON document) share.

// The halves of a UTF-16 surrogate pair; either one alone is no character.
constexpr bool IsHighSurrogate(wchar_t character) noexcept {
  return character >= 0xD800 && character <= 0xDBFF;
}
constexpr bool IsLowSurrogate(wchar_t character) noexcept {
  return character >= 0xDC00 && character <= 0xDFFF;
}

// A character that ends a line or moves the text where a reader does not expect: C0, DEL, C1,
// and the line and paragraph separators.
constexpr bool IsControlOrSeparator(wchar_t character) noexcept {
  return character < 0x20 || (character >= 0x7F && character <= 0x9F) || character == 0x2028 ||
         character == 0x2029;
}

// Appends character as \uXXXX, four upper-case hex digits.
inline void AppendUnicodeEscape(std::wstring& text, wchar_t character) {
  constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
  text += L"\\u";
  for (int shift = 12; shift >= 0; shift -= 4) {
    text += kHexDigits[(character >> shift) & 0xF];
  }
}

#include "products/VersionScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Scan {
  int count = 0;
  int values[4] = {-1, -1, -1, -1};
  bool operator==(const Scan& other) const {
    return count == other.count && std::equal(values, values + count, other.values);
  }
};

// The runtime's formatted input, the definition of the version order.
Scan RuntimeScan(const std::wstring& text) {
  Scan scan;
  const int assigned = swscanf(text.c_str(), L"%d.%d.%d.%d", &scan.values[0], &scan.values[1],
                               &scan.values[2], &scan.values[3]);
  scan.count = assigned < 0 ? 0 : assigned;
  return scan;
}

Scan ToolScan(const std::wstring& text) {
  Scan scan;
  scan.count = ScanVersionNumbers(text, scan.values);
  return scan;
}

std::string Hex(wchar_t character) {
  char text[8];
  snprintf(text, sizeof(text), "U+%04X", static_cast<unsigned>(character));
  return text;
}

// A character that the runtime reads as (part of) a number itself: its digits, which take other
// scripts' digits too, with meaningless values the tool deliberately does not give, and the signs.
bool IsNumberCharacter(wchar_t character) {
  const wchar_t text[] = {character, L'\0'};
  int number = 0;
  return character == L'+' || character == L'-' || swscanf(text, L"%d", &number) == 1;
}

TEST(VersionWhiteSpace, SkippedWhereTheRuntimesFormattedInputSkipsIt) {
  int compared = 0;
  // U+FFFF is left out: it is the runtime's WEOF, which its formatted input passes over
  // erratically (once before the first number, not twice before a later one), not as white space.
  for (unsigned code = 1; code < 0xFFFF; ++code) {
    const wchar_t character = static_cast<wchar_t>(code);
    if (IsNumberCharacter(character)) {
      continue;
    }
    for (const std::wstring& text : {character + std::wstring(L"7.8"),
                                     L"7." + std::wstring(1, character) + L"8.9",
                                     L"7.8." + std::wstring(2, character) + L"-9"}) {
      ASSERT_EQ(ToolScan(text), RuntimeScan(text)) << Hex(character);
      ++compared;
    }
  }
  EXPECT_GT(compared, 3 * 0xFF00);
}

// Measured: the runtime's swscanf skips U+00A0 and U+3000 before a number, as it does ASCII white
// space; the comparison above holds that for every character.
TEST(VersionWhiteSpace, SaturationStaysAfterAUnicodeSpace) {
  int components[4] = {};
  ASSERT_EQ(ScanVersionNumbers(L"\x3000" L"99999999999.\x00A0-99999999999", components), 2);
  EXPECT_EQ(components[0], 2147483647);
  EXPECT_EQ(components[1], -2147483647 - 1);
}

}  // namespace

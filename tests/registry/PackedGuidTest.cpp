#include "registry/PackedGuid.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <optional>
#include <string>

namespace {

// Expected values worked out by hand from the rule: the first three groups' digits reversed, the
// two digits of each later byte swapped. Within each half of the first code every digit differs,
// and the second code's second half runs the other way, so any other reordering shows.
TEST(PackedGuid, ReordersEveryDigitBothWaysInEitherCase) {
  const struct {
    std::wstring guid;
    std::wstring packed;
  } cases[] = {
      {L"{01234567-89AB-CDEF-0123-456789ABCDEF}", L"76543210BA98FEDC1032547698BADCFE"},
      {L"{01234567-89AB-CDEF-FEDC-BA9876543210}", L"76543210BA98FEDCEFCDAB8967452301"},
      {L"{4B1D7E92-3A5C-4E81-B07F-6C2D9A18E35B}", L"29E7D1B4C5A318E40BF7C6D2A9813EB5"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(UnpackGuid(test.packed), test.guid);
    EXPECT_EQ(PackGuid(test.guid), test.packed);
    std::wstring lower = test.packed, lowerGuid = test.guid;
    for (wchar_t& digit : lower) digit = static_cast<wchar_t>(std::towlower(digit));
    for (wchar_t& digit : lowerGuid) digit = static_cast<wchar_t>(std::towlower(digit));
    EXPECT_EQ(UnpackGuid(lower), test.guid);
    EXPECT_EQ(PackGuid(lowerGuid), test.packed);
  }
}

TEST(PackedGuid, AnythingElseIsNone) {
  for (const wchar_t* name : {L"", L"76543210BA98FEDC1032547698BADCF", L"76543210BA98FEDC1032547698BADCFE0",
                                   L"76543210BA98FEDC1032547698BADCFG", L"76543210-BA98-FEDC-1032-547698BADCFE",
                                   L"{01234567-89AB-CDEF-0123-456789ABCDEF}", L"7654321\u0661BA98FEDC1032547698BADCFE"}) {
    EXPECT_EQ(UnpackGuid(name), std::nullopt) << testing::PrintToString(std::wstring(name));
  }
  for (const wchar_t* guid : {L"01234567-89AB-CDEF-0123-456789ABCDEF", L"{01234567-89AB-CDEF-0123-456789ABCDEG}",
                                   L"{0123456-789AB-CDEF-0123-456789ABCDEF}", L"{01234567-89AB-CDEF-0123-456789ABCDE}",
                                   L"76543210BA98FEDC1032547698BADCFE"}) {
    EXPECT_EQ(PackGuid(guid), std::nullopt) << testing::PrintToString(std::wstring(guid));
  }
}

}  // namespace

#include "common/TextSearch.h"

#include <gtest/gtest.h>

namespace {

TEST(TextSearch, FindsANameAsPeopleReadItAndIgnoresNothingButCaseAndComposition) {
  const struct {
    const wchar_t* name;
    const wchar_t* part;
    bool found;
  } cases[] = {
      {L"Stra\u00DFe", L"STRA\u1E9EE", true},                 // capital sharp s
      {L"kilo", L"\u212AILO", true},                           // Kelvin sign
      {L"\u03A9mega", L"\u2126", true},                        // ohm sign and capital omega
      {L"\u03C9mega", L"\u2126", true},
      {L"\u00C5ngstr\u00F6m", L"\u212B", true},                // angstrom sign and A with ring
      {L"\u03BB\u03CC\u03B3\u03BF\u03C2", L"\u039B\u038C\u0393\u039F\u03A3", true},  // final sigma
      {L"\u03BB\u03CC\u03B3\u03BF\u03C2", L"\u03B3\u03BF\u03C3", true},
      {L"cafe\u0301 bar", L"caf\u00E9", true},                 // composed part, decomposed name
      {L"Caf\u00E9 Bar", L"CAFE\u0301", true},                 // and the other way round
      {L"Disk Tool", L"D\u0130SK", true},                      // Turkish dotted capital I
      {L"DISK TOOL", L"d\u0131sk", true},                      // Turkish dotless i
      {L"Stra\u00DFe", L"STRASSE", false},                     // sharp s is not ss
      {L"Caf\u00E9", L"cafe", false},                          // accents count
      {L"Quorvin Sample", L"QuorvinSample", false},            // spaces count
      {L"Broken \xD800 Name", L"broken", true},                // an unpaired surrogate
      {L"Cafe\u0301 Noir\xD800 Cre\u0300me", L"CAF\u00C9 NOIR\xD800 CR\u00C8ME", true},  // composed around one
      {L"Anything", L"", true},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(test.found, ContainsIgnoringCase(test.name, test.part)) << testing::PrintToString(std::wstring(test.part));
  }
}

}  // namespace

#include "products/CodeEnumeration.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

// What an installer enumeration answers at each index, as a damaged registration makes Windows or
// Wine answer it; past the last row, "no more items".
namespace {

struct Answer {
  unsigned result;
  const wchar_t* text;  // what a success writes; nullptr writes nothing
};

constexpr const wchar_t* kA = L"{0000000A-0000-0000-0000-000000000000}";
constexpr const wchar_t* kB = L"{0000000B-0000-0000-0000-000000000000}";

EnumeratedCodes Enumerate(const std::vector<Answer>& answers, int* calls = nullptr) {
  return EnumerateCodes([&](unsigned long index, wchar_t* productCode) -> unsigned {
    if (calls) ++*calls;
    if (index >= answers.size()) return ERROR_NO_MORE_ITEMS;
    if (answers[index].text) wcscpy(productCode, answers[index].text);
    return answers[index].result;
  });
}

TEST(CodeEnumeration, GoesOnPastAnEntryTheInstallerCannotGiveAndStopsWhereTheCallItselfIsWrong) {
  const struct {
    const char* name;
    std::vector<Answer> answers;
    std::vector<std::wstring> codes;
    std::vector<SkippedEntry> skipped;
  } cases[] = {
      {"a value name longer than a code", {{0, kA}, {ERROR_MORE_DATA, nullptr}, {0, kB}}, {kA, kB}, {{1, ERROR_MORE_DATA}}},
      {"a corrupt entry first", {{ERROR_BAD_CONFIGURATION, nullptr}, {0, kA}}, {kA}, {{0, ERROR_BAD_CONFIGURATION}}},
      {"a success that writes nothing", {{0, kA}, {0, nullptr}, {0, kB}}, {kA, kB}, {{1, 0, L""}}},
      {"a code in lower case, then again", {{0, L"{0000000a-0000-0000-0000-000000000000}"}, {0, kA}}, {kA}, {{1, 0, kA}}},
      {"an invalid parameter ends it", {{ERROR_INVALID_PARAMETER, nullptr}, {0, kA}}, {}, {}},
  };
  for (const auto& test : cases) {
    const EnumeratedCodes enumerated = Enumerate(test.answers);
    EXPECT_EQ(test.codes, enumerated.codes) << test.name;
    ASSERT_EQ(test.skipped.size(), enumerated.gaps.skipped.size()) << test.name;
    for (std::size_t i = 0; i < test.skipped.size(); ++i) {
      EXPECT_EQ(test.skipped[i].index, enumerated.gaps.skipped[i].index) << test.name;
      EXPECT_EQ(test.skipped[i].error, enumerated.gaps.skipped[i].error) << test.name;
      EXPECT_EQ(test.skipped[i].text, enumerated.gaps.skipped[i].text) << test.name;
    }
    EXPECT_FALSE(enumerated.gaps.gaveUp) << test.name;
  }
}

TEST(CodeEnumeration, GivesUpOnlyAfterTheBoundOfSkippedIndexesInARow) {
  std::vector<Answer> answers(kMaxSkippedInARow - 1, {ERROR_BAD_CONFIGURATION, nullptr});
  answers.push_back({0, kA});
  answers.insert(answers.end(), kMaxSkippedInARow - 1, {ERROR_BAD_CONFIGURATION, nullptr});
  answers.push_back({0, kB});
  const EnumeratedCodes whole = Enumerate(answers);
  EXPECT_EQ((std::vector<std::wstring>{kA, kB}), whole.codes);
  EXPECT_FALSE(whole.gaps.gaveUp);

  // An installer that never says "no more" still ends.
  answers.assign(answers.size() + kMaxSkippedInARow, {ERROR_BAD_CONFIGURATION, nullptr});
  int calls = 0;
  const EnumeratedCodes endless = Enumerate(answers, &calls);
  EXPECT_TRUE(endless.gaps.gaveUp);
  EXPECT_EQ(static_cast<int>(kMaxSkippedInARow), calls);
}

}  // namespace

#include "products/CodeEnumeration.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "products/InstalledFamilies.h"
#include "products/ProductFamily.h"
#include "registry/PackedGuid.h"
#include "support/FakeInstaller.h"
#include "support/TestRegistry.h"

// What an installer enumeration answers at each index, as a damaged registration makes Windows or
// Wine answer it; past the last row, "no more items".
namespace {

struct Answer {
  unsigned result;
  const wchar_t* text;  // what a success writes; nullptr writes nothing
};

constexpr const wchar_t* kA = L"{0000000A-0000-0000-0000-000000000000}";
constexpr const wchar_t* kB = L"{0000000B-0000-0000-0000-000000000000}";
EnumeratedCodes Enumerate(const std::vector<Answer>& answers, unsigned long bound = 1000, int* calls = nullptr) {
  return EnumerateCodes(bound, [&](unsigned long index, wchar_t* productCode) -> unsigned {
    if (calls) ++*calls;
    if (index >= answers.size()) return ERROR_NO_MORE_ITEMS;
    if (answers[index].text) wcscpy(productCode, answers[index].text);
    return answers[index].result;
  });
}

TEST(CodeEnumeration, KeepsOnlyNewProductCodesAndStopsWhereTheCallItselfIsWrong) {
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
      // Wine unpacks a value name of 32 characters that are not hex digits so.
      {"a garbled success", {{0, L"{GGGGGGG!-GGGG-GGGG-GGGG-GGGGGGGGGGGG}"}, {0, kA}}, {kA},
       {{0, 0, L"{GGGGGGG!-GGGG-GGGG-GGGG-GGGGGGGGGGGG}"}}},
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
    EXPECT_FALSE(enumerated.gaps.readShort) << test.name;
  }
}

TEST(CodeEnumeration, ReadsShortWhenTheInstallerHasNotSaidNoMoreAtTheBound) {
  const std::vector<Answer> answers(5, {ERROR_BAD_CONFIGURATION, nullptr});
  for (const unsigned long bound : {5ul, 6ul}) {
    int calls = 0;
    EXPECT_EQ(bound == 5, Enumerate(answers, bound, &calls).gaps.readShort) << bound;
    EXPECT_EQ(static_cast<int>(bound), calls) << bound;
  }
}

// The bound is the margin and what the registration holds where Windows or Wine reads: the values
// of the family's UpgradeCodes keys, the subkeys of the Products keys.
TEST(CodeEnumeration, BoundIsTheEntriesOfEveryKeyThePlatformsReadAndTheMargin) {
  FakeInstaller installer;
  installer.neverEnds = true;
  const auto calls = [&installer](bool family) {
    installer.calls.clear();
    if (family) static_cast<void>(ProductFamily(installer, installer.knownUpgradeCode));
    if (!family) static_cast<void>(ListInstalledFamilies(installer, {}));
    return installer.CallCount(family ? L"EnumRelatedProducts" : L"EnumProducts");
  };
  const std::wstring packed = *PackGuid(installer.knownUpgradeCode);
  const std::wstring managed = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed\\S-1-5-21-7-1\\Installer\\";
  const struct {
    bool family;
    HKEY root;
    std::wstring path;
  } keys[] = {
      {true, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\" + packed},
      {true, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\" + packed},
      {true, HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\UpgradeCodes\\" + packed},
      {true, HKEY_LOCAL_MACHINE, managed + L"UpgradeCodes\\" + packed},
      {false, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Installer\\Products\\" + packed},
      {false, HKEY_LOCAL_MACHINE, managed + L"Products\\" + packed},
      {false, HKEY_USERS, L"S-1-5-21-7-2\\Software\\Microsoft\\Installer\\Products\\" + packed},
  };
  EXPECT_EQ(static_cast<int>(kEnumerationMargin), calls(true));
  for (const auto& key : keys) {
    const int before = calls(key.family);
    // Three values: three entries of a family's key, one product key.
    for (const wchar_t* name : {L"a", L"b", L"c"}) ASSERT_TRUE(WriteString(key.root, key.path, name, L"", View::k64));
    EXPECT_EQ(before + (key.family ? 3 : 1), calls(key.family)) << testing::PrintToString(key.path);
    DeleteKeyTree(key.root, key.path, View::k64);
  }
}

}  // namespace

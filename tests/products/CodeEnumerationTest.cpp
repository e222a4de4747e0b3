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
// Wine answer it; past the last row, "no more items", or an error for ever from an installer that
// never ends.
namespace {

struct Answer {
  unsigned result;
  const wchar_t* text;  // what a success writes; nullptr writes nothing
};

constexpr const wchar_t* kA = L"{0000000A-0000-0000-0000-000000000000}";
constexpr const wchar_t* kB = L"{0000000B-0000-0000-0000-000000000000}";
constexpr unsigned long kWide = 1000;

EnumeratedCodes Enumerate(const std::vector<Answer>& answers, unsigned long bound = kWide, int* calls = nullptr,
                          bool endless = false) {
  return EnumerateCodes(bound, [&](unsigned long index, wchar_t* productCode) -> unsigned {
    if (calls) ++*calls;
    if (index >= answers.size()) return endless ? ERROR_BAD_CONFIGURATION : ERROR_NO_MORE_ITEMS;
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
      {"a success of no GUID's shape", {{0, kA}, {0, L"{0000000B-0000-0000-0000-00000000000}"}, {0, L"0000000B"}},
       {kA}, {{1, 0, L"{0000000B-0000-0000-0000-00000000000}"}, {2, 0, L"0000000B"}}},
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

TEST(CodeEnumeration, ReadsShortWhenTheInstallerHasNotEndedAtTheBound) {
  std::vector<Answer> answers(5, {ERROR_BAD_CONFIGURATION, nullptr});
  answers.push_back({0, kA});
  const struct {
    const char* name;
    unsigned long bound;
    bool endless;
    bool readShort;
    int calls;
  } cases[] = {
      {"the end within the bound", 7, false, false, 7},
      {"the end just past the bound", 6, false, true, 6},
      {"an installer that never ends", 40, true, true, 40},
  };
  for (const auto& test : cases) {
    int calls = 0;
    const EnumeratedCodes enumerated = Enumerate(answers, test.bound, &calls, test.endless);
    EXPECT_EQ(test.readShort, enumerated.gaps.readShort) << test.name;
    EXPECT_EQ(test.calls, calls) << test.name;
    EXPECT_EQ(std::vector<std::wstring>{kA}, enumerated.codes) << test.name;
  }
}

// The bound comes from the registration: each key the installer may read adds its entries.
class EnumerationBound : public testing::Test {
 protected:
  EnumerationBound() { installer_.neverEnds = true; }
  ~EnumerationBound() override {
    for (const auto& [root, path] : written_) DeleteKeyTree(root, path, View::k64);
  }

  void AddValues(HKEY root, const std::wstring& path, int count) {
    written_.emplace_back(root, path);
    for (int i = 0; i < count; ++i) {
      const std::wstring name = L"value" + std::to_wstring(i);
      ASSERT_TRUE(WriteString(root, path, name.c_str(), L"", View::k64));
    }
  }

  void AddSubkeys(HKEY root, const std::wstring& path, int count) {
    for (int i = 0; i < count; ++i) {
      written_.emplace_back(root, path + L"\\" + NewProductCode());
      ASSERT_TRUE(WriteString(root, written_.back().second, L"x", L"", View::k64));
    }
  }

  int RelatedCalls() {
    installer_.calls.clear();
    const ProductFamily family(installer_, installer_.knownUpgradeCode);
    EXPECT_TRUE(family.enumerationGaps().readShort);
    return installer_.CallCount(L"EnumRelatedProducts");
  }

  int ProductCalls() {
    installer_.calls.clear();
    const InstalledFamilies installed = ListInstalledFamilies(installer_, {});
    EXPECT_EQ(1u, installed.gaps.size());
    return installer_.CallCount(L"EnumProducts");
  }

  FakeInstaller installer_;
  const std::wstring packed_ = *PackGuid(installer_.knownUpgradeCode);
  std::vector<std::pair<HKEY, std::wstring>> written_;
};

TEST_F(EnumerationBound, IsTheValuesOfEveryUpgradeCodesKeyThePlatformsReadAndTheMargin) {
  EXPECT_EQ(static_cast<int>(kEnumerationMargin), RelatedCalls());
  AddValues(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\" + packed_, 3);
  AddValues(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Installer\\UpgradeCodes\\" + packed_, 5);
  AddValues(HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\UpgradeCodes\\" + packed_, 7);
  AddValues(HKEY_LOCAL_MACHINE,
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed\\S-1-5-21-7-7-7-1001\\Installer\\"
            L"UpgradeCodes\\" + packed_,
            11);
  EXPECT_EQ(3 + 5 + 7 + 11 + static_cast<int>(kEnumerationMargin), RelatedCalls());
}

TEST_F(EnumerationBound, HoldsEveryProductKeyThePlatformsRead) {
  const struct {
    HKEY root;
    const wchar_t* path;
  } places[] = {
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Installer\\Products"},
      {HKEY_LOCAL_MACHINE,
       L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed\\S-1-5-21-7-7-7-1001\\Installer\\Products"},
      {HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\Products"},
      {HKEY_USERS, L"S-1-5-21-7-7-7-1002\\Software\\Microsoft\\Installer\\Products"},
  };
  for (const auto& place : places) {
    const int before = ProductCalls();
    AddSubkeys(place.root, place.path, 4);
    EXPECT_GE(ProductCalls(), before + 4) << testing::PrintToString(std::wstring(place.path));
  }
}

}  // namespace

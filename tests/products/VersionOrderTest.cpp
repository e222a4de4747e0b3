#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "products/Product.h"
#include "support/FakeInstaller.h"

namespace {

std::unique_ptr<Product> ProductWithVersion(FakeInstaller& installer, const std::wstring& version) {
  const std::wstring code = L"{P" + std::to_wstring(installer.products.size()) + L"}";
  installer.products.push_back({code, version});
  return std::make_unique<Product>(installer, code);
}

struct ParseCase {
  std::wstring version;
  bool parsed;
  int major, minor, build, revision;
};

// VersionSweepTest holds the runtime's formatted input as the oracle for random text; these are
// the named cases, and the text it cannot make (other scripts' digits).
const ParseCase kParseCases[] = {
    {L"1.2.3.4", true, 1, 2, 3, 4},
    {L"1.2", true, 1, 2, -1, -1},
    {L"  12.0.111  ", true, 12, 0, 111, -1},
    {L"1 .2", true, 1, -1, -1, -1},
    {L"2147483647.2147483648.-2147483648.-2147483649", true, 2147483647, 2147483647,
     -2147483647 - 1, -2147483647 - 1},
    {L"v1.2", false},
    {L"", false},
    {L"\u0661.2", false},
};

class ParseVersion : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseVersion, ReadsUpToFourNumbers) {
  const ParseCase& testCase = GetParam();
  FakeInstaller installer;
  const auto product = ProductWithVersion(installer, testCase.version);
  int major = 99, minor = 99, build = 99, revision = 99;
  ASSERT_EQ(product->ParseVersion(major, minor, build, revision), testCase.parsed);
  if (testCase.parsed) {
    EXPECT_EQ(major, testCase.major);
    EXPECT_EQ(minor, testCase.minor);
    EXPECT_EQ(build, testCase.build);
    EXPECT_EQ(revision, testCase.revision);
  } else {
    EXPECT_EQ(major, 99) << "a failed parse leaves the outputs alone";
    EXPECT_EQ(revision, 99);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseVersion, testing::ValuesIn(kParseCases));

struct OrderCase {
  std::wstring newer;
  std::wstring older;
};

// In each pair the first version is strictly newer than the second.
const OrderCase kOrderCases[] = {
    {L"1.10", L"1.9"},
    {L"1.2.0", L"1.2"},  // the missing build is -1
    {L"0.1", L""},       // empty counts as 0.0.0.0
    {L"", L"0"},         // 0 is 0.-1.-1.-1
    {L"0.0.0.1", L"0.0.0.0"},  // random text seldom ties three numbers
};

class VersionOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(VersionOrder, NewerIsNewerOnlyOneWay) {
  FakeInstaller installer;
  const auto newer = ProductWithVersion(installer, GetParam().newer);
  const auto older = ProductWithVersion(installer, GetParam().older);
  EXPECT_TRUE(newer->IsNewerThan(*older));
  EXPECT_FALSE(older->IsNewerThan(*newer));
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionOrder, testing::ValuesIn(kOrderCases));

TEST(VersionOrder, EqualVersionsAreNeitherNewerNorOlder) {
  const std::pair<std::wstring, std::wstring> pairs[] = {
      {L"1.2.3", L"1.2.3"}, {L"abc", L"0.0.0.0"}};
  for (const auto& [left, right] : pairs) {
    FakeInstaller installer;
    const auto a = ProductWithVersion(installer, left);
    const auto b = ProductWithVersion(installer, right);
    EXPECT_FALSE(a->IsNewerThan(*b)) << testing::PrintToString(left);
    EXPECT_FALSE(b->IsNewerThan(*a)) << testing::PrintToString(right);
  }
}

TEST(VersionOrder, ParsesAnewThroughTheVirtualSlotAtEveryComparison) {
  class CountingProduct : public Product {
   public:
    using Product::Product;
    bool ParseVersion(int& major, int& minor, int& build, int& revision) const override {
      ++parses;
      return Product::ParseVersion(major, minor, build, revision);
    }
    mutable int parses = 0;
  };
  FakeInstaller installer(std::vector<FakeProduct>{{L"{A}", L"1.0"}, {L"{B}", L"2.0"}});
  const CountingProduct a(installer, L"{A}");
  const CountingProduct b(installer, L"{B}");
  EXPECT_FALSE(a.IsNewerThan(b));
  EXPECT_TRUE(b.IsNewerThan(a));
  EXPECT_EQ(a.parses, 2);
  EXPECT_EQ(b.parses, 2);
}

}  // namespace
